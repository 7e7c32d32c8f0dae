#pragma once

#include <QByteArray>
#include <QString>

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

    struct Token
    {
        Kind kind = Kind::End;
        QByteArray text;
    };

    // Keeps a reference to text, which must outlive the tokenizer.
    explicit MibTokenizer(const QByteArray& text);

    Token next();
    // The module whose "NAME DEFINITIONS" came last, so the one the last token belongs to.
    const QByteArray& module() const;

    // The file's bytes; empty when it cannot be read.
    static QByteArray readFile(const QString& path);

private:
    bool startsComment() const;
    void skipComment();

    const QByteArray& m_text;
    int m_pos = 0;
    QByteArray m_module;
    QByteArray m_previousWord;
};
