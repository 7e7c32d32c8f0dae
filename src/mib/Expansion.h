#pragma once

#include <QString>
#include <QVector>

// Which branches of the MIB tree are expanded, as text: 1[3[6[1[2,4]]]] records that
// 1, 1.3, 1.3.6, 1.3.6.1, 1.3.6.1.2 and 1.3.6.1.4 are expanded.
struct ExpansionNode
{
    qint32 number = -1; // -1: none
    QVector<ExpansionNode> children;
};

QString serializeExpansion(const ExpansionNode& node);
// Malformed text degrades to a partial tree and never fails.
ExpansionNode parseExpansion(const QString& text);
