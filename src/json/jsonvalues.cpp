#include "json/jsonvalues.h"

#include <nlohmann/json.hpp>

namespace quarl::igm::JsonValues {

QString text(const Json &o, const char *key)
{
    if (!o.is_object())
        return {};
    const auto it = o.find(key);
    if (it == o.end())
        return {};
    if (it->is_string())
        return QString::fromStdString(it->get_ref<const std::string &>());
    if (it->is_number())
        return QString::fromStdString(it->dump());
    return {};
}

QString trimmedText(const Json &o, const char *key)
{
    return text(o, key).trimmed();
}

bool is(const Json &o, const char *key, const char *value)
{
    if (!o.is_object())
        return false;
    const auto it = o.find(key);
    return it != o.end() && it->is_string() && it->get_ref<const std::string &>() == value;
}

bool has(const Json &o, const char *key)
{
    if (!o.is_object())
        return false;
    const auto it = o.find(key);
    return it != o.end() && !it->is_null() && !(it->is_string() && it->get_ref<const std::string &>().empty());
}

std::optional<double> number(const Json &o, const char *key)
{
    if (!o.is_object())
        return std::nullopt;
    const auto it = o.find(key);
    if (it == o.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

const Json *member(const Json &o, const char *key)
{
    if (!o.is_object())
        return nullptr;
    const auto it = o.find(key);
    return it == o.end() ? nullptr : &*it;
}

const Json *object(const Json &o, const char *key)
{
    const Json *m = member(o, key);
    return m && m->is_object() ? m : nullptr;
}

const Json &list(const Json &o, const char *key)
{
    static const Json none = Json::array();
    const Json *m = member(o, key);
    return m && m->is_array() ? *m : none;
}

const Json &child(const Json &o, const char *key)
{
    static const Json none;
    const Json *m = member(o, key);
    return m ? *m : none;
}

} // namespace quarl::igm::JsonValues
