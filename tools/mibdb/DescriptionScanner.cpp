#include "DescriptionScanner.h"

#include "MibTokenizer.h"

namespace {

// The macros that define a tree node and have a DESCRIPTION clause. Requiring one after the
// descriptor passes over its other appearances, such as a compliance statement's
// "OBJECT descriptor SYNTAX ... DESCRIPTION", which describes the refinement instead.
bool definesNode(std::string_view word)
{
    static const std::string_view macros[] = {"OBJECT-TYPE",        "OBJECT-IDENTITY",   "MODULE-IDENTITY",
                                              "NOTIFICATION-TYPE",  "TRAP-TYPE",         "OBJECT-GROUP",
                                              "NOTIFICATION-GROUP", "MODULE-COMPLIANCE", "AGENT-CAPABILITIES"};
    for (const std::string_view macro : macros) {
        if (word == macro)
            return true;
    }
    return false;
}

} // namespace

std::optional<QByteArray> DescriptionScanner::scanFile(const QString& path, const QString& module,
                                                       const QByteArray& descriptor)
{
    return scanText(MibTokenizer::readFile(path), module, descriptor);
}

std::optional<QByteArray> DescriptionScanner::scanText(const QByteArray& text, const QString& module,
                                                       const QByteArray& descriptor)
{
    using Kind = MibTokenizer::Kind;
    const QByteArray latin1 = module.toLatin1();
    const std::string_view moduleName(latin1.constData(), size_t(latin1.size()));
    const std::string_view descriptorText(descriptor.constData(), size_t(descriptor.size()));
    MibTokenizer tokenizer(text);
    bool afterDescriptor = false;
    for (MibTokenizer::Token token = tokenizer.next(); token.kind != Kind::End; token = tokenizer.next()) {
        const bool atDefinition =
            afterDescriptor && token.kind == Kind::Word && definesNode(token.text) && tokenizer.module() == moduleName;
        afterDescriptor = token.kind == Kind::Word && token.text == descriptorText;
        if (!atDefinition)
            continue;
        // The first DESCRIPTION is the node's own; later ones (a compliance statement's
        // groups and objects) come after it. A ':' can only be the start of "::=".
        for (token = tokenizer.next(); token.kind != Kind::End; token = tokenizer.next()) {
            if (token.kind == Kind::Other && token.text == ":")
                return std::nullopt;
            if (token.kind == Kind::Word && token.text == "DESCRIPTION") {
                token = tokenizer.next();
                if (token.kind != Kind::Quoted)
                    return std::nullopt;
                return token.bytes().replace('\r', QByteArray());
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}
