// The dialog: its design, the command line, the status file and the runs through the window.

#include "app/HostWindow.h"
#include "app/MainForm.h"
#include "app/StatusFile.h"

#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <deque>
#include <optional>
#include <unistd.h>

using almadia::TMForm;

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(ALMADIA_TEST_DATA "/") + name;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The window with its modal points answered by the test: the file dialog takes the next queued
// answer (nullopt: cancelled), message boxes are recorded and acknowledged.
class TestForm : public TMForm {
public:
    struct Shown {
        QString name, title, text, details;
        QStringList buttons;
        QWindow* transientParent = nullptr;
    };

    explicit TestForm(const QString& folder) : TMForm(std::filesystem::path(folder.toStdString())) {
        setExecutableFolder(folder);
    }

    std::deque<std::optional<QString>> answers;
    QList<Shown> shown;
    QList<almadia::app::HelpAction> helpActions;
    QString helpProblem;

    QStringList texts() const {
        QStringList result;
        for (const auto& s : shown) result << s.text;
        return result;
    }

protected:
    int execModal(QDialog& dialog) override {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            if (answers.empty()) return QDialog::Rejected;
            std::optional<QString> answer = answers.front();
            answers.pop_front();
            if (!answer) return QDialog::Rejected;
            files->selectFile(*answer);
            return QDialog::Accepted;
        }
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        Shown entry;
        entry.name = dialog.objectName();
        entry.title = dialog.windowTitle();
        entry.transientParent = dialog.windowHandle() ? dialog.windowHandle()->transientParent() : nullptr;
        if (box) {
            entry.text = box->text();
            entry.details = box->detailedText();
            for (QAbstractButton* button : box->buttons())
                if (box->buttonRole(button) != QMessageBox::ActionRole) entry.buttons << button->text();
        }
        shown << entry;
        return QDialog::Accepted;
    }

    QString startHelp(const almadia::app::HelpAction& action) override {
        helpActions << action;
        return helpProblem;
    }
};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qunsetenv("ALMADIA_STATUS_DIR"); }

    void designValues() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.windowTitle(),
                 QStringLiteral("Exportar e importar datos entre Horavel y Radeve-vErur"));
        QCOMPARE(form.size(), QSize(632, 266));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.pos(), QPoint(194, 167));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(form.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(form.font().pixelSize(), 11);

        struct Panel {
            almadia::GradientPanel* panel;
            QRect geometry;
            QColor start, middle, end, base;
        };
        const QColor warm(0xF9, 0xD3, 0x7D), cream(0xFF, 0xEE, 0xDD), lime(0, 0xFF, 0);
        const Panel panels[] = {
            {form.Draw3D1, QRect(0, 168, 633, 97), QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE),
             QColor(0xCC, 0xD8, 0xE6), QColor(0xCC, 0xD8, 0xE6)},
            {form.Draw3D2, QRect(0, 0, 315, 169), warm, Qt::white, cream, lime},
            {form.Draw3D3, QRect(316, 0, 317, 169), warm, Qt::white, cream, lime},
        };
        for (const auto& p : panels) {
            QCOMPARE(p.panel->geometry(), p.geometry);
            QCOMPARE(p.panel->startColor(), p.start);
            QCOMPARE(p.panel->middleColor(), p.middle);
            QCOMPARE(p.panel->endColor(), p.end);
            QCOMPARE(p.panel->baseColor(), p.base);
            QVERIFY(p.panel->isVisible());
        }
        // Stacking: Draw3D1 lowest, Draw3D3 highest; the 1-pixel overlap at y 168 belongs to Draw3D2.
        const QObjectList& children = form.children();
        QVERIFY(children.indexOf(form.Draw3D1) < children.indexOf(form.Draw3D2));
        QVERIFY(children.indexOf(form.Draw3D2) < children.indexOf(form.Draw3D3));
        QCOMPARE(form.childAt(10, 168), form.Draw3D2);

        // The gradient as drawn: start at the top, white halfway, end at the bottom.
        const QImage image = form.Draw3D2->grab().toImage();
        const QColor top(image.pixel(5, 0));
        QVERIFY(qAbs(top.red() - warm.red()) <= 2 && qAbs(top.green() - warm.green()) <= 2 &&
                qAbs(top.blue() - warm.blue()) <= 2);
        QVERIFY(qAbs(QColor(image.pixel(5, 84)).lightness() - 255) <= 3);
        QVERIFY(qAbs(QColor(image.pixel(5, 168)).red() - 0xFF) <= 3);

        struct Label {
            QLabel* label;
            QWidget* panel;
            QRect geometry;
            QString caption, family;
            int pixels;
            bool wraps;
        };
        const Label labels[] = {
            {form.Label1, form.Draw3D1, QRect(8, 72, 262, 13), "Almadia para QX5 V-1.1", "MS Sans Serif", 11,
             false},
            {form.Label3, form.Draw3D2, QRect(24, 24, 265, 57),
             "Transformar datos desde Radeve-vErur hacia Horavel ", "Arial", 16, true},
            {form.Label4, form.Draw3D3, QRect(8, 24, 305, 57),
             "Transformar datos desde Horavel hacia Radeve-vErur", "Arial", 16, true},
        };
        for (const auto& l : labels) {
            QCOMPARE(l.label->parentWidget(), l.panel);
            QCOMPARE(l.label->geometry(), l.geometry);
            QCOMPARE(l.label->text(), l.caption);
            QCOMPARE(l.label->font().family(), l.family);
            QCOMPARE(l.label->font().pixelSize(), l.pixels);
            QVERIFY(l.label->font().bold());
            QCOMPARE(l.label->wordWrap(), l.wraps);
            QVERIFY(!l.label->autoFillBackground());
            // A font that exists stands in where the designed one is missing.
            QVERIFY(!QFontInfo(l.label->font()).family().isEmpty());
        }
        QCOMPARE(form.Label1->palette().color(QPalette::WindowText), QColor(Qt::red));

        struct Button {
            QPushButton* button;
            QWidget* panel;
            QRect geometry;
            QString caption;
            bool glyph;
        };
        const Button buttons[] = {
            {form.BClose, form.Draw3D1, QRect(256, 32, 89, 25), "&Salir", true},
            {form.Button1, form.Draw3D1, QRect(48, 40, 75, 25), "F1 Ayuda", false},
            {form.BExportar, form.Draw3D2, QRect(96, 120, 89, 25), "Aceptar", true},
            {form.BImportar, form.Draw3D3, QRect(96, 120, 89, 25), "Aceptar", true},
        };
        for (const auto& b : buttons) {
            QCOMPARE(b.button->parentWidget(), b.panel);
            QCOMPARE(b.button->geometry(), b.geometry);
            QCOMPARE(b.button->text(), b.caption);
            QCOMPARE(!b.button->icon().isNull(), b.glyph);
            QCOMPARE(b.button->property("helpContext").toInt(), 3);
        }
        QCOMPARE(form.property("helpContext").toInt(), 3);

        // Tab order: bottom panel (Salir, F1 Ayuda), then left, then right.
        QCOMPARE(form.BClose->nextInFocusChain(), form.Button1);
        QWidget* next = form.Button1->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, form.BExportar);
        next = form.BExportar->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, form.BImportar);

        QCOMPARE(form.OpenDialogXML->windowTitle(), QStringLiteral("Archivo XML"));
        QCOMPARE(form.OpenDialogXML->nameFilters(), QStringList{QStringLiteral("*.xml (*.xml)")});
        QCOMPARE(form.OpenDialogXML->defaultSuffix(), QStringLiteral("xml"));
        QCOMPARE(form.OpenDialogXML->fileMode(), QFileDialog::AnyFile);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("embedded");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("right");
        QTest::addColumn<QString>("error");
        // The handle names no window here; the mode and panels do not depend on it.
        QTest::newRow("none") << QStringList{} << false << true << true << QString();
        QTest::newRow("one") << QStringList{"exportar"} << false << true << true << QString();
        QTest::newRow("three") << QStringList{"exportar", "1a2b", "x"} << false << true << true << QString();
        QTest::newRow("exportar") << QStringList{"exportar", "1a2b"} << true << true << false << QString();
        QTest::newRow("IMPORTAR") << QStringList{"IMPORTAR", "1A2B"} << true << false << true << QString();
        QTest::newRow("unknown word")
            << QStringList{"convertir", "1a2b"} << true << true << true << QString();
        QTest::newRow("non-ASCII capital")
            << QStringList{"EXPORTAR\u00C9", "1a2b"} << true << true << true << QString();
        QTest::newRow("prefixed handle") << QStringList{"exportar", "0x1a2b"} << false << true << true
                                         << QStringLiteral("'$0x1a2b' no es un valor entero válido");
        QTest::newRow("handle too large") << QStringList{"importar", "123456789"} << false << true << true
                                          << QStringLiteral("'$123456789' no es un valor entero válido");
        QTest::newRow("empty handle") << QStringList{"importar", ""} << false << true << true
                                      << QStringLiteral("'$' no es un valor entero válido");
    }

    void commandLine() {
        QFETCH(QStringList, parameters);
        QFETCH(bool, embedded);
        QFETCH(bool, left);
        QFETCH(bool, right);
        QFETCH(QString, error);

        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate(parameters);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.state().embedded, embedded);
        QCOMPARE(form.state().EstadoTransformacion, 0);
        QCOMPARE(form.Draw3D2->isVisible(), left);
        QCOMPARE(form.Draw3D3->isVisible(), right);
        QVERIFY(form.Draw3D1->isVisible());
        if (left && !right) QCOMPARE(form.Draw3D2->geometry(), QRect(0, 0, 632, 266));
        if (right && !left) QCOMPARE(form.Draw3D3->geometry(), QRect(0, 0, 632, 266));
        if (left && right) QCOMPARE(form.Draw3D3->geometry(), QRect(316, 0, 317, 169));
        QCOMPARE(form.texts(), error.isEmpty() ? QStringList{} : QStringList{error});
        if (!error.isEmpty()) QCOMPARE(form.shown.first().name, QStringLiteral("error"));
        // The handle named no window: an ordinary window the user can still work in.
        QVERIFY(!form.hostWindow());
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));

        QVERIFY(form.close());
        QCOMPARE(QFile::exists(dir.filePath("Horavel.ini")), embedded);
        if (embedded)
            QCOMPARE(readAll(dir.filePath("Horavel.ini")),
                     QByteArray("[Transformadores]\r\nTransformado=0\r\n"));
    }

    void parseHandle_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // -1: not a number
        QTest::newRow("lower") << QString("1a2b") << qint64(0x1a2b);
        QTest::newRow("upper") << QString("1A2B") << qint64(0x1a2b);
        QTest::newRow("32 bits") << QString("FFFFFFFF") << qint64(0xFFFFFFFF);
        QTest::newRow("leading zeros") << QString("0000000001a2b") << qint64(0x1a2b);
        QTest::newRow("33 bits") << QString("100000000") << qint64(-1);
        QTest::newRow("prefix") << QString("$1a") << qint64(-1);
        QTest::newRow("blank") << QString(" 1a") << qint64(-1);
        QTest::newRow("sign") << QString("-1") << qint64(-1);
        QTest::newRow("letter") << QString("1g") << qint64(-1);
    }

    void parseHandle() {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const auto parsed = almadia::app::parseHandle(text);
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), value);
    }

    // Embedded in a real X11 window of this process standing in for the host.
    void embedsIntoForeignWindow() {
        QWindow host;
        host.resize(800, 500);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const WId hostId = host.winId();

        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({QStringLiteral("importar"), QString::number(hostId, 16)});
        form.show();
        QTest::qWait(200);

        QVERIFY(form.hostWindow());
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(almadia::app::nativeParent(form.winId()), hostId);
        QCOMPARE(form.windowHandle()->position(), QPoint(0, 0));
        QCOMPARE(form.geometry(), QRect(0, 0, 632, 266));
        QVERIFY(!form.Draw3D2->isVisible());
        QCOMPARE(form.Draw3D3->geometry(), QRect(0, 0, 632, 266));

        // Boxes shown while embedded are transient for the host window.
        form.answers = {std::nullopt};
        form.BImportar->click();
        QVERIFY(!form.shown.isEmpty());
        for (const auto& shown : form.shown) QCOMPARE(shown.transientParent, form.hostWindow());
    }

    void hostWindowDestroyed() {
        QWindow host;
        host.resize(700, 300);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        QTemporaryDir dir;
        writeAll(dir.filePath("Horavel.ini"), "[Transformadores]\nTransformado=1\n");
        TestForm form(dir.path());
        form.FormCreate({QStringLiteral("exportar"), QString::number(host.winId(), 16)});
        form.show();
        QTest::qWait(100);
        QSignalSpy finished(&form, &TMForm::finished);
        host.destroy();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(readAll(dir.filePath("Horavel.ini")), QByteArray("[Transformadores]\nTransformado=0\n"));
    }

    void statusAfterRuns_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QList<QVariant>>("answers"); // null QVariant: the file dialog is cancelled
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("lastText");
        const QString centre = dataFile("gui/centro-vacio.xml");
        QTest::newRow("finished") << QStringList{"exportar", "1"} << QList<QVariant>{centre} << 1 << true
                                  << QStringLiteral("Proceso finalizado");
        QTest::newRow("cancelled first click") << QStringList{"exportar", "1"} << QList<QVariant>{QVariant()}
                                               << -1 << true << QStringLiteral("No existe archivo");
        QTest::newRow("missing file")
            << QStringList{"exportar", "1"} << QList<QVariant>{dataFile("gui/no-existe.xml")} << -1 << true
            << QStringLiteral("No existe archivo");
        QTest::newRow("folder") << QStringList{"exportar", "1"} << QList<QVariant>{dataFile("gui")} << -1
                                << true << QStringLiteral("No existe archivo");
        QTest::newRow("not XML") << QStringList{"exportar", "1"}
                                 << QList<QVariant>{dataFile("gui/no-es-xml.xml")} << -1 << true << QString();
        QTest::newRow("stand-alone") << QStringList{} << QList<QVariant>{centre} << 1 << false
                                     << QStringLiteral("Proceso finalizado");
    }

    void statusAfterRuns() {
        QFETCH(QStringList, parameters);
        QFETCH(QList<QVariant>, answers);
        QFETCH(int, status);
        QFETCH(bool, closes);
        QFETCH(QString, lastText);

        QTemporaryDir dir;
        TestForm form(dir.path());
        for (const QVariant& answer : answers)
            form.answers.push_back(answer.isNull() ? std::nullopt
                                                   : std::optional<QString>(answer.toString()));
        form.FormCreate(parameters);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.BExportar->click();

        QCOMPARE(form.state().EstadoTransformacion, status);
        QCOMPARE(form.isVisible(), !closes);
        QVERIFY(!form.shown.isEmpty());
        const auto& last = form.shown.last();
        if (!lastText.isEmpty()) QCOMPARE(last.text, lastText);
        QCOMPARE(last.title, QStringLiteral("Almadia"));
        QCOMPARE(last.buttons, QStringList{QStringLiteral("Aceptar")});
        if (closes)
            QCOMPARE(readAll(dir.filePath("Horavel.ini")),
                     QByteArray("[Transformadores]\r\nTransformado=") + QByteArray::number(status) + "\r\n");
        else
            QVERIFY(form.close());
        QVERIFY(!QFile::exists(dir.filePath("Horavel.ini")) || closes);
    }

    void notXmlIsRefusedWithItsReason() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({});
        form.answers = {dataFile("gui/no-es-xml.xml")};
        form.BExportar->click();
        QCOMPARE(form.shown.size(), 1);
        QVERIFY2(form.shown[0].text.contains("no-es-xml.xml"), qPrintable(form.shown[0].text));
        QCOMPARE(form.state().EstadoTransformacion, 0);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // A cancelled dialog keeps the file confirmed before, in either direction.
    void secondRunReusesTheFile() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({});
        form.answers = {dataFile("gui/centro-vacio.xml"), std::nullopt};
        form.BExportar->click();
        const auto first = form.state().FicheroXML;
        QCOMPARE(QString::fromStdString(first.filename().string()), QStringLiteral("centro-vacio.xml"));
        form.shown.clear();
        form.BExportar->click();
        QCOMPARE(form.state().FicheroXML, first);
        QCOMPARE(form.texts().last(), QStringLiteral("Proceso finalizado"));
        QCOMPARE(form.state().EstadoTransformacion, 1);
        // The dialog shows the last chosen name again.
        QVERIFY(form.OpenDialogXML->selectedFiles().value(0).endsWith("centro-vacio.xml"));
    }

    void typedNameGetsTheDefaultSuffix() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({});
        form.answers = {dataFile("gui/centro-vacio")};
        form.BExportar->click();
        QCOMPARE(form.texts().last(), QStringLiteral("Proceso finalizado"));
    }

    void everyCloseWritesTheStatus_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Salir") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }

    void everyCloseWritesTheStatus() {
        QFETCH(int, way);
        QTemporaryDir dir;
        const QByteArray before = "; estado para el horario\r\n\r\n[General]\r\nRuta = C:\\KTEMP\r\n"
                                  "[transformadores]\r\n  transformado = 7\r\nOtra=1\r\n[Fin]\r\nX=2";
        writeAll(dir.filePath("Horavel.ini"), before);
        TestForm form(dir.path());
        form.FormCreate({QStringLiteral("exportar"), QStringLiteral("1")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy finished(&form, &TMForm::finished);
        if (way == 0) form.BClose->click();
        if (way == 1) QWindowSystemInterface_close(form);
        if (way == 2) QTest::keyClick(form.BClose, Qt::Key_Escape);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!form.isVisible());
        QByteArray expected = before;
        expected.replace("transformado = 7", "transformado = 0");
        QCOMPARE(readAll(dir.filePath("Horavel.ini")), expected);
    }

    // A folder the status file cannot be written to: read-only, or (for root, who writes anywhere) gone.
    void unwritableFolderKeepsTheWindowOpen() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({QStringLiteral("importar"), QStringLiteral("1")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const bool root = ::geteuid() == 0;
        if (root)
            form.setExecutableFolder(dir.filePath("falta"));
        else
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        const QString path = QString::fromStdString(form.statusFile().string());
        QCOMPARE(form.texts(), QStringList{"Unable to write to " + path});
        QCOMPARE(form.shown.first().name, QStringLiteral("error"));
        QVERIFY(!form.close());
        QCOMPARE(form.shown.size(), 2);
        if (root)
            form.setExecutableFolder(dir.path());
        else
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(form.close());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList{"Horavel.ini"});
    }

    void readOnlyStatusFileKeepsTheWindowOpen() {
        QTemporaryDir dir;
        writeAll(dir.filePath("Horavel.ini"), "[Transformadores]\nTransformado=5\n");
        QFile::setPermissions(dir.filePath("Horavel.ini"), QFile::ReadOwner);
        if (QFileInfo(dir.filePath("Horavel.ini")).isWritable())
            QSKIP("the file stays writable for this user");
        TestForm form(dir.path());
        form.FormCreate({QStringLiteral("importar"), QStringLiteral("1")});
        form.show();
        QVERIFY(!form.close());
        QVERIFY(form.texts().value(0).startsWith("Unable to write to "));
        QCOMPARE(readAll(dir.filePath("Horavel.ini")), QByteArray("[Transformadores]\nTransformado=5\n"));
    }

    void statusFolderFromEnvironment() {
        QTemporaryDir exe, other;
        qputenv("ALMADIA_STATUS_DIR", other.path().toLocal8Bit());
        TestForm form(exe.path());
        form.FormCreate({QStringLiteral("exportar"), QStringLiteral("1")});
        QVERIFY(form.close());
        QVERIFY(QFile::exists(other.filePath("Horavel.ini")));
        QVERIFY(!QFile::exists(exe.filePath("Horavel.ini")));
    }

    void iniUpdate_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("empty") << QByteArray() << QByteArray("[Transformadores]\r\nTransformado=1\r\n");
        QTest::newRow("LF file, other section")
            << QByteArray("[A]\nb=2\n") << QByteArray("[A]\nb=2\n[Transformadores]\nTransformado=1\n");
        QTest::newRow("no final line end")
            << QByteArray("[A]\r\nb=2")
            << QByteArray("[A]\r\nb=2\r\n[Transformadores]\r\nTransformado=1\r\n");
        QTest::newRow("key added after the last entry")
            << QByteArray("[Transformadores]\r\nOtro=3\r\n\r\n[B]\r\n")
            << QByteArray("[Transformadores]\r\nOtro=3\r\nTransformado=1\r\n\r\n[B]\r\n");
        QTest::newRow("same key in another section untouched")
            << QByteArray("[B]\nTransformado=9\n[ Transformadores ]\nTransformado=-1\n")
            << QByteArray("[B]\nTransformado=9\n[ Transformadores ]\nTransformado=1\n");
        QTest::newRow("comment that looks like the key")
            << QByteArray("[Transformadores]\n;Transformado=4\nTransformado =4\n")
            << QByteArray("[Transformadores]\n;Transformado=4\nTransformado =1\n");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Transformadores]\r\nTransformado=0\r\n")
                                         << QByteArray("\xEF\xBB\xBF[Transformadores]\r\nTransformado=1\r\n");
        QTest::newRow("last line of the file") << QByteArray("[Transformadores]\nTransformado=0")
                                               << QByteArray("[Transformadores]\nTransformado=1");
    }

    void iniUpdate() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const std::string updated =
            almadia::app::setIniValue(before.toStdString(), "Transformadores", "Transformado", "1");
        QCOMPARE(QByteArray::fromStdString(updated), after);
    }

    void help() {
        QTemporaryDir dir;
        TestForm form(dir.path());
        form.FormCreate({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Button1->click();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.BExportar->setFocus();
        QTest::keyClick(form.BExportar, Qt::Key_F1);
        QCOMPARE(form.helpActions.size(), 2);
        QCOMPARE(form.helpActions[0].page.fileName(), QString()); // nothing beside this executable
        QVERIFY(form.helpActions[1].message.contains("almadia.html"));
        QVERIFY(form.helpActions[0].message.contains("contenido.html"));
        // Nothing beside this executable: both requests find no help and say so.
        form.helpProblem = form.helpActions[0].message;
        QVERIFY(form.helpProblem.startsWith("No se encuentra la ayuda del programa"));
        form.Button1->click();
        QCOMPARE(form.texts(), QStringList{form.helpProblem});
        QVERIFY(form.isVisible());
    }

    void helpActions() {
        using almadia::app::HelpAction;
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("ayuda");
        writeAll(dir.filePath("ayuda/almadia.html"), "<p>");
        writeAll(dir.filePath("ayuda/contenido.html"), "<p>");

        HelpAction contents = almadia::app::helpAction(true, 3, dir.path(), {});
        QCOMPARE(contents.kind, HelpAction::Kind::Browser);
        QCOMPARE(contents.page.toLocalFile(), dir.filePath("ayuda/contenido.html"));
        HelpAction topic = almadia::app::helpAction(false, 3, dir.path(), "/usr/bin/xchm");
        QCOMPARE(topic.kind, HelpAction::Kind::Browser); // no VERUR.chm yet
        QCOMPARE(topic.page.toLocalFile(), dir.filePath("ayuda/almadia.html"));

        writeAll(dir.filePath("VERUR.chm"), "ITSF");
        topic = almadia::app::helpAction(false, 3, dir.path(), "/usr/bin/xchm");
        QCOMPARE(topic.kind, HelpAction::Kind::Viewer);
        QCOMPARE(topic.arguments, (QStringList{"-c", "3", dir.filePath("VERUR.chm")}));
        contents = almadia::app::helpAction(true, 3, dir.path(), "/usr/bin/xchm");
        QCOMPARE(contents.arguments, QStringList{dir.filePath("VERUR.chm")});
    }

private:
    static void QWindowSystemInterface_close(QWidget& widget) {
        QCloseEvent event;
        QCoreApplication::sendEvent(widget.windowHandle(), &event);
    }
};

QTEST_MAIN(MainFormTest)
#include "MainForm_test.moc"
