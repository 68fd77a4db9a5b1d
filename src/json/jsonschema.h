#pragma once

#include "core/failure.h"

#include <nlohmann/json_fwd.hpp>

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

namespace quarl::igm {

using Json = nlohmann::ordered_json;

// One place where a JSON value breaks its schema: the instance's JSON pointer, the keyword
// that failed and what it asked for, in terms a message to a clerk can be built from.
struct SchemaFailure
{
    QString pointer;  // "/master/mastrCnsgmtDec/3/MCRef/lineNo"; for required, the object's
    QString keyword;  // type, required, minLength, maxLength, pattern, minimum, maximum, enum
    QString property; // required: the missing key
    QString expected; // the keyword's value: "20", "string", "S, C"; pattern: the schema's description or the pattern
    QString found;    // the value as text (strings without quotes)
    qint64 length = -1; // minLength, maxLength: the text's length in characters
};

struct SchemaNode;

// A JSON Schema (draft-07) read for the keywords this program validates: type, required,
// properties, items (one schema), minLength, maxLength, pattern, minimum, maximum, enum and
// $ref to the schema's own definitions. Titles, descriptions and comments are kept as
// annotations; any other keyword is refused when the schema is read, so that a schema edited
// by a user never asks for something that is silently not checked.
class JsonSchema
{
public:
    JsonSchema();
    static Result<JsonSchema> fromData(const QByteArray &data, const QString &name);
    static Result<JsonSchema> fromFile(const QString &path);

    const SchemaNode *root() const;
    // The schema of a place reached from node by property names and "[]" for array items,
    // following $ref; nullptr when the schema says nothing about it.
    const SchemaNode *at(const SchemaNode *node, const QStringList &steps) const;

    // Appends every failure of value against node; pointer is the value's own place.
    void validate(const Json &value, const SchemaNode *node, std::string pointer, QList<SchemaFailure> *failures) const;
    // Hands each failure to sink as it is found, so that a value that fails a million times
    // is never held in a list.
    using FailureSink = std::function<void(SchemaFailure &&)>;
    // Whether value keeps to node, without saying how it fails.
    bool accepts(const Json &value, const SchemaNode *node) const;
    // Whether value is of a type node allows (its keyword type alone): quick enough for
    // every value of a long file.
    bool acceptsType(const Json &value, const SchemaNode *node) const;
    void validate(const Json &value, const SchemaNode *node, std::string pointer, const FailureSink &sink) const;
    QList<SchemaFailure> validate(const Json &value) const;

private:
    struct Data;
    std::shared_ptr<const Data> d;
};

// "/a/b~1c" from its tokens, escaped as JSON pointers are.
QString pointerToken(const QString &token);

} // namespace quarl::igm
