#pragma once

#include <QByteArray>
#include <QString>

#include <string_view>

// Just enough of the SMI lexical rules to tell clauses from comments and strings, for the
// scanners that read a MIB file again for what net-snmp's parser does not keep. A "--"
// comment ends at the line end or at the next "--", as in net-snmp's default mode.
class MibTokenizer final
{
public:
    enum class Kind
    {
        End,
        Word,
        Quoted, // text holds the bytes between the quotes, as in the file
        Other
    };

    // A token's text is a view into the tokenizer's text: nothing is copied while scanning.
    struct Token
    {
        Kind kind = Kind::End;
        std::string_view text;

        QByteArray bytes() const { return QByteArray(text.data(), int(text.size())); }
    };

    // Keeps a reference to text, which must outlive the tokenizer and its tokens.
    explicit MibTokenizer(const QByteArray& text);

    Token next();
    // The module whose "NAME DEFINITIONS" came last, so the one the last token belongs to.
    std::string_view module() const;
    QString moduleName() const { return QString::fromLatin1(m_module.data(), int(m_module.size())); }

    // The file's bytes; empty when it cannot be read.
    static QByteArray readFile(const QString& path);

private:
    std::string_view view(int from, int length) const;
    bool startsComment() const;
    void skipComment();

    const QByteArray& m_text;
    int m_pos = 0;
    std::string_view m_module;
    std::string_view m_previousWord;
};
