#include "app/MainForm.h"

#include "app/HostWindow.h"
#include "app/StatusFile.h"
#include "export/ConversionRun.h"
#include "formats/Error.h"
#include "import/TimetableExportRun.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QWindow>

namespace almadia {

namespace {

constexpr int HelpContext = app::MainHelpContext;

QFont designFont(const QStringList& families, int pixels, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// "MS Sans Serif" and "Arial" are rarely installed outside Windows; Liberation Sans has Arial's
// metrics and stands in for both.
const QStringList FormFamilies{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                               QStringLiteral("DejaVu Sans")};
const QStringList ArialFamilies{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("DejaVu Sans")};

QLabel* designLabel(QWidget* panel, const QString& caption, QRect geometry, const QFont& font,
                    const QColor& colour) {
    auto* label = new QLabel(caption, panel);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QPushButton* designButton(QWidget* panel, const QString& caption, QRect geometry,
                          std::optional<QStyle::StandardPixmap> glyph) {
    auto* button = new QPushButton(caption, panel);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    if (glyph) button->setIcon(button->style()->standardIcon(*glyph, nullptr, button));
    return button;
}

QString lowerAsciiLetters(QString text) {
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() - u'A' + u'a');
    return text;
}

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

} // namespace

GradientPanel::GradientPanel(const QColor& start, const QColor& middle, const QColor& end, const QColor& base,
                             QWidget* parent)
    : QWidget(parent), start_(start), middle_(middle), end_(end), base_(base) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, base_);
    setPalette(palette);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, start_);
    gradient.setColorAt(0.5, middle_);
    gradient.setColorAt(1.0, end_);
    painter.fillRect(rect(), gradient);
}

// What the core runs ask of the window.
class FormRunHost : public RunHost {
public:
    explicit FormRunHost(TMForm& form) : form_(form) {}
    std::optional<std::filesystem::path> chooseFile() override { return form_.chooseXmlFile(); }
    void message(const std::string& text, const std::string& details) override {
        form_.showMessage(QString::fromStdString(text), QString::fromStdString(details));
    }
    void showError(const std::string& text) override { form_.showError(QString::fromStdString(text)); }
    void setBusy(bool busy) override { form_.setBusy(busy); }
    void closeWindow() override { form_.close(); }

private:
    TMForm& form_;
};

TMForm::TMForm(std::filesystem::path exchangeFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      executableFolder_(QCoreApplication::applicationDirPath()) {
    state_.exchangeFolder = std::move(exchangeFolder);

    setObjectName(QStringLiteral("MForm"));
    setWindowTitle(QString::fromUtf8(FormCaption));
    setFixedSize(632, 266);
    setFont(designFont(FormFamilies, 11, false));
    setSizeGripEnabled(false);

    // Created in stacking order: Draw3D1 lowest, Draw3D3 highest.
    const QColor warm(0xF9, 0xD3, 0x7D), white(Qt::white), cream(0xFF, 0xEE, 0xDD), lime(0x00, 0xFF, 0x00);
    Draw3D1 = new GradientPanel(QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE), QColor(0xCC, 0xD8, 0xE6),
                                QColor(0xCC, 0xD8, 0xE6), this);
    Draw3D1->setObjectName(QStringLiteral("Draw3D1"));
    Draw3D1->setGeometry(0, 168, 633, 97);
    Draw3D2 = new GradientPanel(warm, white, cream, lime, this);
    Draw3D2->setObjectName(QStringLiteral("Draw3D2"));
    Draw3D2->setGeometry(0, 0, 315, 169);
    Draw3D3 = new GradientPanel(warm, white, cream, lime, this);
    Draw3D3->setObjectName(QStringLiteral("Draw3D3"));
    Draw3D3->setGeometry(316, 0, 317, 169);

    const QColor text = palette().color(QPalette::WindowText);
    Label1 = designLabel(Draw3D1, QStringLiteral("Almadia para QX5 V-1.1"), QRect(8, 72, 262, 13),
                         designFont(FormFamilies, 11, true), Qt::red);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label3 = designLabel(Draw3D2, QStringLiteral("Transformar datos desde Radeve-vErur hacia Horavel "),
                         QRect(24, 24, 265, 57), designFont(ArialFamilies, 16, true), text);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label4 = designLabel(Draw3D3, QStringLiteral("Transformar datos desde Horavel hacia Radeve-vErur"),
                         QRect(8, 24, 305, 57), designFont(ArialFamilies, 16, true), text);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setWordWrap(true);

    BClose =
        designButton(Draw3D1, QStringLiteral("&Salir"), QRect(256, 32, 89, 25), QStyle::SP_DialogCloseButton);
    BClose->setObjectName(QStringLiteral("BClose"));
    Button1 = designButton(Draw3D1, QStringLiteral("F1 Ayuda"), QRect(48, 40, 75, 25), std::nullopt);
    Button1->setObjectName(QStringLiteral("Button1"));
    BExportar =
        designButton(Draw3D2, QStringLiteral("Aceptar"), QRect(96, 120, 89, 25), QStyle::SP_DialogOkButton);
    BExportar->setObjectName(QStringLiteral("BExportar"));
    BImportar =
        designButton(Draw3D3, QStringLiteral("Aceptar"), QRect(96, 120, 89, 25), QStyle::SP_DialogOkButton);
    BImportar->setObjectName(QStringLiteral("BImportar"));

    setTabOrder(BClose, Button1);
    setTabOrder(Button1, BExportar);
    setTabOrder(BExportar, BImportar);
    BClose->setFocus();

    for (QWidget* widget : std::initializer_list<QWidget*>{this, Draw3D1, Draw3D2, Draw3D3, BClose, Button1,
                                                           BExportar, BImportar})
        widget->setProperty("helpContext", HelpContext);

    connect(BClose, &QPushButton::clicked, this, &QWidget::close);
    connect(Button1, &QPushButton::clicked, this, &TMForm::Button1Click);
    connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
    connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TMForm::helpRequested);

    // Parentless so that, embedded, it can be made transient for the host window alone.
    OpenDialogXML =
        new QFileDialog(nullptr, QStringLiteral("Archivo XML"), QString(), QStringLiteral("*.xml (*.xml)"));
    OpenDialogXML->setObjectName(QStringLiteral("OpenDialogXML"));
    OpenDialogXML->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialogXML->setFileMode(QFileDialog::AnyFile);
    OpenDialogXML->setDefaultSuffix(QStringLiteral("xml"));
    OpenDialogXML->setOption(QFileDialog::ReadOnly, false);
}

TMForm::~TMForm() {
    setBusy(false);
    delete OpenDialogXML;
    // Our own window is a child of the foreign one until the base class destroys it.
    if (host_) host_->deleteLater();
}

std::filesystem::path TMForm::statusFile() const {
    return app::statusFilePath(toPath(executableFolder_));
}

void TMForm::FormCreate(const QStringList& parameters) {
    state_.EstadoTransformacion = 0;
    // The code registries live in the state, created with the window, whatever the command line.
    move(194, 167);
    if (parameters.size() != 2) return;

    const std::optional<std::uint32_t> handle = app::parseHandle(parameters[1]);
    if (!handle) {
        showError(QStringLiteral("'$%1' no es un valor entero válido").arg(parameters[1]));
        return;
    }
    // A handle that names no window still gives embedded mode (one panel, status on close); the
    // window then shows as an ordinary one so that the user can work and close it.
    if (app::nativeWindowExists(WId(*handle))) embedIn(WId(*handle));
    state_.embedded = true;

    const QString direction = lowerAsciiLetters(parameters[0]);
    if (direction == QLatin1String("importar")) {
        Draw3D2->hide();
        fillWindow(Draw3D3);
    }
    if (direction == QLatin1String("exportar")) {
        Draw3D3->hide();
        fillWindow(Draw3D2);
    }
}

void TMForm::embedIn(WId handle) {
    // The flags go before the native window exists; a child window has no frame.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    move(0, 0);
    winId();
    host_ = QWindow::fromWinId(handle);
    windowHandle()->setParent(host_);
    windowHandle()->setPosition(0, 0);
    watcher_ = new app::HostWatcher(
        handle, [this] { hostDestroyed(); }, this);
}

void TMForm::fillWindow(GradientPanel* panel) {
    panel->setGeometry(rect());
}

void TMForm::hostDestroyed() {
    if (hostGone_) return;
    hostGone_ = true;
    FormClose();
    hide();
    emit finished();
}

bool TMForm::FormClose() {
    if (!state_.embedded) return true;
    try {
        app::writeStatus(statusFile(), state_.EstadoTransformacion);
    } catch (const Error& error) {
        showError(QString::fromStdString(error.what()));
        return false;
    }
    return true;
}

void TMForm::closeEvent(QCloseEvent* event) {
    if (hostGone_) {
        event->accept();
        return;
    }
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit finished();
}

void TMForm::reject() {
    close();
}

int TMForm::execModal(QDialog& dialog) {
    return dialog.exec();
}

QString TMForm::startHelp(const app::HelpAction& action) {
    return app::runHelpAction(action);
}

int TMForm::runModal(QDialog& dialog) {
    if (hostGone_) return QDialog::Rejected;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.winId();
    // Transient for the host window when embedded, so that the box stays above the host's window.
    if (QWindow* window = dialog.windowHandle())
        window->setTransientParent(host_ ? host_.data() : windowHandle());
    return execModal(dialog);
}

std::optional<std::filesystem::path> TMForm::chooseXmlFile() {
    if (!lastChosen_.isEmpty()) OpenDialogXML->selectFile(lastChosen_);
    if (runModal(*OpenDialogXML) != QDialog::Accepted) return std::nullopt;
    const QStringList files = OpenDialogXML->selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::filesystem::path();
    lastChosen_ = files.first();
    return toPath(lastChosen_);
}

void TMForm::showMessage(const QString& text, const QString& details) {
    QMessageBox box;
    box.setObjectName(QStringLiteral("message"));
    box.setWindowTitle(QString::fromUtf8(ApplicationTitle));
    box.setIcon(QMessageBox::NoIcon);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    if (!details.isEmpty()) box.setDetailedText(details);
    runModal(box);
}

void TMForm::showError(const QString& text) {
    QMessageBox box;
    box.setObjectName(QStringLiteral("error"));
    box.setWindowTitle(QString::fromUtf8(ApplicationTitle));
    box.setIcon(QMessageBox::Critical);
    box.setText(text);
    box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    runModal(box);
}

void TMForm::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMForm::BExportarClick() {
    FormRunHost host(*this);
    runConversion(host, state_);
}

void TMForm::BImportarClick() {
    FormRunHost host(*this);
    runTimetableExport(host, state_);
}

void TMForm::showHelp(bool contents, int context) {
    const app::HelpAction action = app::helpAction(contents, context, executableFolder_,
                                                   QStandardPaths::findExecutable(QStringLiteral("xchm")));
    const QString problem = startHelp(action);
    if (!problem.isEmpty()) showMessage(problem);
}

void TMForm::Button1Click() {
    showHelp(true, HelpContext);
}

void TMForm::helpRequested() {
    int context = HelpContext;
    for (QWidget* widget = focusWidget(); widget; widget = widget->parentWidget()) {
        const QVariant value = widget->property("helpContext");
        if (value.isValid()) {
            context = value.toInt();
            break;
        }
    }
    showHelp(false, context);
}

} // namespace almadia
