#pragma once

#include "XMessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTimer>

// Closes every message box that opens, remembering "kind:text" of each, so that no test hangs
// on a modal box.
class BoxCloser : public QObject
{
public:
    QStringList texts;
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            if (auto *box = qobject_cast<XMessageBox *>(QApplication::activeModalWidget())) {
                auto *label = box->findChild<QLabel *>(QStringLiteral("labText"));
                texts << box->kind() + QLatin1Char(':') + (label ? label->text() : QString());
                box->reject();
            }
        });
        timer.start(50);
    }
    // The one the test's main() made.
    static BoxCloser *&instance()
    {
        static BoxCloser *closer = nullptr;
        return closer;
    }

private:
    QTimer timer;
};
