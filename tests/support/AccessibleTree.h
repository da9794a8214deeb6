#pragma once

#include <QAccessible>
#include <QMetaEnum>
#include <QObject>
#include <QString>
#include <QStringList>

// The accessibility tree under an object as a screen reader walks it, through Qt's
// accessibility interfaces: a line a node, indented by depth, with its role, name and
// description, and what labels it.
inline QString accessibleTree(QAccessibleInterface *node, int depth = 0)
{
    if (!node)
        return {};
    const QAccessible::State state = node->state();
    QString line = QString(depth * 2, u' ')
        + QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()))
        + QStringLiteral(" \"%1\"").arg(node->text(QAccessible::Name));
    const QString description = node->text(QAccessible::Description);
    if (!description.isEmpty())
        line += QStringLiteral(" (%1)").arg(description);
    const QString value = node->text(QAccessible::Value);
    if (!value.isEmpty() && node->childCount() == 0)
        line += QStringLiteral(" = \"%1\"").arg(value.left(40));
    for (const auto &[label, relation] : node->relations(QAccessible::Label))
        line += QStringLiteral(" labelled by \"%1\"").arg(label->text(QAccessible::Name));
    if (state.focusable)
        line += QStringLiteral(" [focusable]");
    if (state.invisible)
        line += QStringLiteral(" [invisible]");
    QString tree = line + u'\n';
    for (int child = 0; child < node->childCount(); ++child)
        tree += accessibleTree(node->child(child), depth + 1);
    return tree;
}

inline QString accessibleTree(QObject *object)
{
    return accessibleTree(QAccessible::queryAccessibleInterface(object));
}

// The nodes a user can Tab to or click into that say nothing of themselves.
inline QStringList unnamedFocusable(QAccessibleInterface *node)
{
    QStringList unnamed;
    if (!node)
        return unnamed;
    const QAccessible::State state = node->state();
    if (state.focusable && !state.invisible && node->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << (node->object() ? node->object()->objectName() : QStringLiteral("(a part)"))
                + u' '
                + QString::fromLatin1(
                    QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()));
    for (int child = 0; child < node->childCount(); ++child)
        unnamed << unnamedFocusable(node->child(child));
    return unnamed;
}
