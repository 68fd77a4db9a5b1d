#include "json/jsontext.h"

#include <QFileDevice>

namespace quarl::igm {

JsonText::JsonText(QIODevice &in)
{
    if (auto *file = qobject_cast<QFileDevice *>(&in); file && file->size() > 0) {
        if (const uchar *mapped = file->map(0, file->size())) {
            m_begin = reinterpret_cast<const char *>(mapped);
            m_end = m_begin + file->size();
            m_mapped = true;
            return;
        }
    }
    m_data = in.readAll();
    m_begin = m_data.constData();
    m_end = m_begin + m_data.size();
}

} // namespace quarl::igm
