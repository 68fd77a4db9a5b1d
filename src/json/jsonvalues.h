#pragma once

#include "json/jsonschema.h"

#include <QString>

#include <optional>

// The members of a JSON object as the SAM reader, check and reply read them: a missing
// key, a value of another type or a value that is no object reads as nothing.
namespace quarl::igm::JsonValues {

// Text for strings and numbers alike (a number as written); empty otherwise.
QString text(const Json &o, const char *key);
// The same, a string without its surrounding blanks.
QString trimmedText(const Json &o, const char *key);
// Whether a key holds this text, compared without converting it.
bool is(const Json &o, const char *key, const char *value);
// Whether a key holds a value that is not empty text.
bool has(const Json &o, const char *key);
std::optional<double> number(const Json &o, const char *key);
const Json *member(const Json &o, const char *key);
// The member when it is an object.
const Json *object(const Json &o, const char *key);
// The elements of an array member; none when it is absent or not a list.
const Json &list(const Json &o, const char *key);
// The member, or a null value.
const Json &child(const Json &o, const char *key);

} // namespace quarl::igm::JsonValues
