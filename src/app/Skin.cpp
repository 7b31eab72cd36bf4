#include "Skin.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyleFactory>

void Skin::apply(QApplication& app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p = app.palette();
    p.setColor(QPalette::Window, QColor(0xE3, 0xEE, 0xFD));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF9, 0xFE));
    p.setColor(QPalette::Button, QColor(0xEE, 0xF4, 0xFD));
    p.setColor(QPalette::Highlight, QColor(0x3A, 0x78, 0xD8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x3A, 0x78, 0xD8));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    app.setPalette(p);
    QFile qss(QStringLiteral(":/skin/skin.qss"));
    if (qss.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(qss.readAll()));
}
