// A reply of the gateway, read beside the declaration it answers. The input holds the reply,
// then after a line "--8<--" the declaration (the lines it names).
#include "fuzzsetup.h"

#include "sam/samreply.h"

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> files = fuzz::parts(data, size, 2);
    const QString reply = fuzz::writeInput(files.at(0), QStringLiteral("F_SACHM23_SAM_FUZZAGT_1_20261211_ACK.json"));
    const QString declaration = fuzz::writeInput(files.value(1), QStringLiteral("F_SACHM23_SAM_FUZZAGT_1_20261211_DEC.json"));
    (void)igm::readGatewayReply(reply, declaration);
    return 0;
}
