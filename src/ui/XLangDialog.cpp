#include "XLangDialog.h"

#include "LangUtil.h"
#include "StringUtil.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

XLangDialog::XLangDialog(QWidget *parent) : XWebDialog(parent) {}

QString XLangDialog::langText(const QString &section, const QString &objectName)
{
    const QString key = StringUtil::snakeToCamel(objectName);
    if (key.isEmpty() || key.contains(QLatin1String("Page"))) {
        return QString();
    }
    if (key.startsWith(QLatin1String("sys"))) {
        return LangUtil::trCommon(StringUtil::lowerFirst(key.mid(3)));
    }
    if (key.compare(QLatin1String("pbOk"), Qt::CaseInsensitive) == 0 ||
        key.compare(QLatin1String("pbCancel"), Qt::CaseInsensitive) == 0) {
        // Any letter case of the name reads the same key.
        return LangUtil::trCommon(key.mid(2).toLower());
    }
    return LangUtil::tr(section, key);
}

void XLangDialog::applyLang()
{
    const QString section = objectName();
    for (QObject *child : children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget == nullptr) {
            continue;
        }
        const QString text = langText(section, widget->objectName());
        if (text.isEmpty()) {
            continue;
        }
        // By exact class name: subclasses of these widgets set their own texts.
        const QLatin1String className(widget->metaObject()->className());
        if (className == QLatin1String("QLabel")) {
            static_cast<QLabel *>(widget)->setText(text);
        } else if (className == QLatin1String("QRadioButton") ||
                   className == QLatin1String("QCheckBox") ||
                   className == QLatin1String("QPushButton") ||
                   className == QLatin1String("XPushButton")) {
            static_cast<QAbstractButton *>(widget)->setText(text);
        } else if (className == QLatin1String("QLineEdit")) {
            static_cast<QLineEdit *>(widget)->setPlaceholderText(text);
        } else if (className == QLatin1String("XComboBox")) {
            if (QLineEdit *edit = static_cast<QComboBox *>(widget)->lineEdit()) {
                edit->setPlaceholderText(text);
            }
        }
    }
}
