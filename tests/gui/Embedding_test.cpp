// The program started the way the timetabling program starts it: `almadia exportar <window id>`,
// with a real X11 window of this test as the host.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

namespace {

QString program() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../almadia");
}

// The lines of `xwininfo -children` for the windows inside `id`.
QStringList childrenOf(WId id) {
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-children"), QStringLiteral("-id"),
                                                QStringLiteral("0x") + QString::number(id, 16)});
    xwininfo.waitForFinished(5000);
    QStringList children;
    for (const QString& line : QString::fromLocal8Bit(xwininfo.readAllStandardOutput()).split('\n'))
        if (line.trimmed().startsWith(QStringLiteral("0x"))) children << line.trimmed();
    return children;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class EmbeddingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QFile::exists(program())) QSKIP("the almadia program is not built");
        if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
            QSKIP("xwininfo is missing");
    }

    // Inside the host at 0,0, one panel; when asked to close (Escape) or when the host goes away,
    // it writes Transformado=0 and keeps every other byte of Horavel.ini.
    void embeddedRunLeavesTheStatus_data() {
        QTest::addColumn<bool>("destroyHost");
        QTest::newRow("closed with Escape") << false;
        QTest::newRow("host window destroyed") << true;
    }

    void embeddedRunLeavesTheStatus() {
        QFETCH(bool, destroyHost);
        QWindow host;
        host.setTitle(QStringLiteral("Horario"));
        host.resize(900, 600);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        QTemporaryDir dir;
        const QByteArray before =
            "; Estado de las transformaciones\r\n\r\n[Horario]\r\nCarpeta = C:\\KTEMP\r\n"
            "[Transformadores]\r\nTransformado=1\r\nUltimo = exportar\r\n";
        {
            QFile ini(dir.filePath("Horavel.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(before);
        }
        QProcess almadia;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ALMADIA_STATUS_DIR"), dir.path());
        environment.insert(QStringLiteral("ALMADIA_KTEMP"), dir.path());
        almadia.setProcessEnvironment(environment);
        almadia.start(program(),
                      {QStringLiteral("EXPORTAR"), QString::number(host.winId(), 16), "-platform", "xcb"});
        QVERIFY(almadia.waitForStarted());

        QStringList children;
        QTRY_VERIFY_WITH_TIMEOUT(!(children = childrenOf(host.winId())).isEmpty(), 10000);
        QCOMPARE(children.size(), 1);
        // "0x1234 "caption": ("almadia" "Almadia")  632x266+0+0  +x+y"
        QVERIFY2(children[0].contains(QRegularExpression(QStringLiteral("\\s632x266\\+0\\+0\\s"))),
                 qPrintable(children[0]));
        const QString child = children[0].section(' ', 0, 0);

        if (destroyHost) {
            host.destroy();
            QTest::qWait(50); // the request leaves with the next flush of the event loop
        } else {
            QProcess::execute(QStringLiteral("xdotool"), {"windowfocus", "--sync", child});
            QProcess::execute(QStringLiteral("xdotool"), {"key", "--window", child, "Escape"});
        }
        QTRY_COMPARE_WITH_TIMEOUT(almadia.state(), QProcess::NotRunning, 10000);
        QCOMPARE(almadia.exitStatus(), QProcess::NormalExit);
        QCOMPARE(almadia.exitCode(), 0);
        QByteArray expected = before;
        expected.replace("Transformado=1", "Transformado=0");
        QCOMPARE(readAll(dir.filePath("Horavel.ini")), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Horavel.ini"});
    }
};

QTEST_MAIN(EmbeddingTest)
#include "Embedding_test.moc"
