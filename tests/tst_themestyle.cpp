#include "Iconfont.h"
#include "ThemeStyle.h"

#include "ImageInk.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRawFont>
#include <QTemporaryDir>

#include <QtTest>

namespace {
QJsonObject themeFile(const QString &name)
{
    QFile f(QStringLiteral(BRV_TEST_SOURCE_DIR "/src/res/theme/%1.json").arg(name));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

const QStringList skinFiles{"radio_checked.png",
                            "radio_checked_hover.png",
                            "radio_unchecked.png",
                            "radio_unchecked_hover.png",
                            "checkbox_uncheck.png",
                            "checkbox_uncheck_hover.png",
                            "checkbox_checked.png",
                            "checkbox_checked_hover.png",
                            "checkbox_indeterminate.png",
                            "checkbox_indeterminate_hover.png",
                            "arrow_down.png",
                            "arrow_down_hover.png",
                            "arrow_down_pressed.png",
                            "arrow_up.png",
                            "arrow_up_hover.png",
                            "arrow_up_pressed.png"};

} // namespace

class TestThemeStyle : public QObject
{
    Q_OBJECT

private slots:
    void init() { ThemeStyle::release(); }

    void defaultThemeIsLightFromItsFile()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        QCOMPARE(theme->currentTheme, QStringLiteral("light"));
        QCOMPARE(theme->textColor, QColor(QStringLiteral("#181818")));
        QCOMPARE(theme->bgColorSoft, QColor(QStringLiteral("#eeeeee")));
        // Eight digits are read alpha first: this "black at 70%" is blue with alpha 0.
        QCOMPARE(theme->overlayBgColor.alpha(), 0);
        QCOMPARE(theme->overlayBgColor.blue(), 0xb3);
        QCOMPARE(theme->fontSize, 14);
        QCOMPARE(theme->titleHeight, 32);
    }

    void everyThemeLoadsItsColours_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : ThemeStyle::themes()) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }

    void everyThemeLoadsItsColours()
    {
        QFETCH(QString, name);
        const QJsonObject file = themeFile(name);
        QCOMPARE(file.size(), 38);
        ThemeStyle *theme = ThemeStyle::instance();
        theme->setTheme(name);
        QCOMPARE(theme->currentTheme, name);
        for (const auto &entry : ThemeStyle::colorDefaults()) {
            const QString key = QString::fromLatin1(entry.first);
            QVERIFY2(file.contains(key), qPrintable(key));
            QCOMPARE(theme->color(key), QColor(file.value(key).toString()));
        }
    }

    void knownColoursOfSomeThemes()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        theme->setTheme(QStringLiteral("blue"));
        QCOMPARE(theme->themeColor.name(), QStringLiteral("#185cd3"));
        QCOMPARE(theme->activeColor.name(), QStringLiteral("#0b3d91"));
        theme->setTheme(QStringLiteral("red"));
        QCOMPARE(theme->errorColor.name(), QStringLiteral("#b30000"));
        theme->setTheme(QStringLiteral("dark"));
        QCOMPARE(theme->textColor.name(), QStringLiteral("#cccccc"));
        QCOMPARE(theme->overlayBgColor.name(QColor::HexArgb), QStringLiteral("#00000099"));
        theme->setTheme(QStringLiteral("pink"));
        QCOMPARE(theme->textColorReverse.name(), QStringLiteral("#9e3b5d"));
    }

    void unknownThemeChangesNothing()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        QVERIFY(theme->setTheme(QStringLiteral("dark")));
        const QColor text = theme->textColor;
        // The name would become a folder under the application data.
        for (const QString &name : {QStringLiteral("sepia"), QStringLiteral("../../x"),
                                    QStringLiteral("dark/"), QString()}) {
            QVERIFY(!theme->setTheme(name));
            QCOMPARE(theme->currentTheme, QStringLiteral("dark"));
            QCOMPARE(theme->textColor, text);
            QVERIFY(theme->skinDir().endsWith(QStringLiteral("/skin/dark/")));
        }
        QVERIFY(!theme->color(QStringLiteral("noSuchColour")).isValid());
    }

    void styleSheetOfTheLightTheme()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        const QString sheet = theme->appStyleSheet();
        QVERIFY(sheet.startsWith(QStringLiteral("QDialog {outline: none; border: none}")));
        QVERIFY(sheet.contains(QStringLiteral("QComboBox::drop-down {\n\tbackground: transparent;\n"
                                              "\tborder: none;\n\twidth: 31px;\n")));
        QVERIFY(sheet.contains(QStringLiteral("\twidth: 20px;\n\tborder-top-right-radius: 3px;")));
        QVERIFY(sheet.contains(QStringLiteral("QScrollBar:vertical {\n\twidth: 12px;")));
        QVERIFY(sheet.contains(QStringLiteral("#ff18a820")));
        QVERIFY(
            sheet.contains(QStringLiteral("QLabel {\n\tfont-family: 'Microsoft YaHei','iconfont';\n"
                                          "\tfont-size: 14px;\n\tcolor: #ff181818;\n}\n\n")));
        QVERIFY(sheet.contains(QStringLiteral("QToolTip {\n\tbackground-color: #ffeeeeee;\n"
                                              "\tcolor: #ff181818;\n\tfont-size: 14px;\n\t}\n\n")));
        QVERIFY(sheet.contains(QStringLiteral("image: url(") + theme->skinDir() +
                               QStringLiteral("radio_checked_hover.png)")));
        // The nineteen templates, in order.
        const QStringList order{"QDialog {",
                                "QMenuBar {",
                                "QWidget:disabled {",
                                "QLineEdit {",
                                "QTextEdit {",
                                "QLabel {",
                                "QRadioButton {",
                                "QCheckBox {",
                                "QPushButton {",
                                "QToolButton {",
                                "QComboBox {",
                                "QDateEdit {",
                                "QMenu {",
                                "QHeaderView::section {",
                                "QScrollBar:vertical {",
                                "QProgressBar {",
                                "QToolTip {",
                                "QScrollArea {",
                                "QSlider::groove:horizontal {"};
        int last = -1;
        for (const QString &selector : order) {
            const int at = sheet.indexOf(selector);
            QVERIFY2(at > last, qPrintable(selector));
            last = at;
        }
        // Qt must accept it: a widget styled with it takes the theme's label colour.
        QLabel label(QStringLiteral("x"));
        label.setStyleSheet(sheet);
        label.ensurePolished();
        QCOMPARE(label.palette().color(QPalette::WindowText), theme->textColor);
        QCOMPARE(theme->primaryButtonStyle(),
                 QStringLiteral("QPushButton {background:#ff18a820; color:#FFFFFF;}"
                                "QPushButton:hover {background:#fff6f6f6; color:#ff181818;}"
                                "QPushButton:pressed {background:#ffe8f7ea; color:#ff181818;}"));
    }

    void skinImagesAreWrittenOnce()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        QDir(theme->skinDir()).removeRecursively();
        theme->generateSkinImages();
        const QString dir = theme->skinDir();
        for (const QString &file : skinFiles) {
            const QImage image(dir + file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            const int size = file.startsWith(QLatin1String("arrow")) ? 10 : 18;
            QCOMPARE(image.size(), QSize(size, size));
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
            const QColor expected =
                file.contains(QLatin1String("hover")) || file.contains(QLatin1String("pressed"))
                    ? theme->themeColor
                    : theme->textColor;
            if (size == 18) {
                QCOMPARE(inkOf(image), expected);
            }
        }
        // Existing images are left alone; a missing one is written again.
        QFile marker(dir + QStringLiteral("arrow_up.png"));
        QVERIFY(marker.open(QIODevice::WriteOnly | QIODevice::Truncate));
        marker.write("kept");
        marker.close();
        QVERIFY(QFile::remove(dir + QStringLiteral("radio_checked.png")));
        theme->generateSkinImages();
        QFile kept(dir + QStringLiteral("arrow_up.png"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));
        QVERIFY(!QImage(dir + QStringLiteral("radio_checked.png")).isNull());
    }

    void switchingThemesKeepsBothSkins()
    {
        ThemeStyle *theme = ThemeStyle::instance();
        theme->generateSkinImages();
        const QString light = theme->skinDir();
        theme->setTheme(QStringLiteral("dark"));
        theme->generateSkinImages();
        const QString dark = theme->skinDir();
        QVERIFY(light != dark);
        const QDateTime darkWritten = QFileInfo(dark + skinFiles.first()).lastModified();
        theme->setTheme(QStringLiteral("light"));
        theme->generateSkinImages();
        theme->setTheme(QStringLiteral("dark"));
        theme->generateSkinImages();
        QCOMPARE(QDir(light).entryList(QDir::Files).size(), 16);
        QCOMPARE(QDir(dark).entryList(QDir::Files).size(), 16);
        QCOMPARE(QFileInfo(dark + skinFiles.first()).lastModified(), darkWritten);
        // Dark and light images differ in colour.
        QVERIFY(inkOf(QImage(dark + QStringLiteral("radio_checked.png"))) !=
                inkOf(QImage(light + QStringLiteral("radio_checked.png"))));
    }

    void iconFontHasEveryGlyphTheProgramDraws()
    {
        QRawFont raw = QRawFont::fromFont(Iconfont::instance()->iconFont());
        QVERIFY(raw.isValid());
        QVERIFY(QFontInfo(Iconfont::instance()->iconFont()).family() != QFont().family());
        for (uint glyph : Iconfont::glyphs()) {
            QVERIFY2(raw.supportsCharacter(glyph), qPrintable(QString::number(glyph, 16)));
            // And the glyph draws something.
            const QImage image = Iconfont::instance()->pixmap(glyph, Qt::black, 32).toImage();
            QVERIFY2(inkOf(image).isValid(), qPrintable(QString::number(glyph, 16)));
        }
    }

    void iconsAndFiles()
    {
        Iconfont *font = Iconfont::instance();
        const QIcon icon = font->icon(Iconfont::Close, Qt::red, 10);
        QCOMPARE(icon.availableSizes(), (QList<QSize>{QSize(20, 20)}));
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("close.png"));
        font->savePng(path, Iconfont::CheckBoxChecked, Qt::red, 16, false);
        QCOMPARE(inkOf(QImage(path)), QColor(Qt::red));
        font->savePng(path, Iconfont::CheckBoxChecked, Qt::blue, 16, false);
        QCOMPARE(inkOf(QImage(path)), QColor(Qt::red));
        font->savePng(path, Iconfont::CheckBoxChecked, Qt::blue, 16, true);
        QCOMPARE(inkOf(QImage(path)), QColor(Qt::blue));
    }
};

QTEST_MAIN(TestThemeStyle)
#include "tst_themestyle.moc"
