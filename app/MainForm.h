#pragma once

// The program's one window: two direction panels above a bottom panel with the version, help and
// close buttons. The runs themselves live in the core; this window only hands them a RunHost.

#include "app/Help.h"
#include "export/RunHost.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <QWindow>

#include <filesystem>
#include <optional>

class QFileDialog;
class QLabel;
class QPushButton;

namespace almadia {

namespace app {
class HostWatcher;
}

inline constexpr const char* ApplicationTitle = "Almadia";
inline constexpr const char* FormCaption = "Exportar e importar datos entre Horavel y Radeve-vErur";

// A panel filled with a vertical three-colour gradient: start at the top, middle halfway, end at
// the bottom.
class GradientPanel : public QWidget {
    Q_OBJECT
public:
    GradientPanel(const QColor& start, const QColor& middle, const QColor& end, const QColor& base,
                  QWidget* parent);

    QColor startColor() const { return start_; }
    QColor middleColor() const { return middle_; }
    QColor endColor() const { return end_; }
    QColor baseColor() const { return base_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor start_, middle_, end_, base_;
};

class TMForm : public QDialog {
    Q_OBJECT
public:
    explicit TMForm(std::filesystem::path exchangeFolder, QWidget* parent = nullptr);
    ~TMForm() override;

    // Reads the command line (the parameters without the program's name): exactly two select
    // embedded mode in the window whose hexadecimal id is the second. Call once, before show().
    void FormCreate(const QStringList& parameters);

    WindowState& state() { return state_; }
    const WindowState& state() const { return state_; }
    // The foreign window the dialog lives in; null when stand-alone or when the id named no window.
    QWindow* hostWindow() const { return host_; }

    // Where the executable lies (the status file and the help are beside it).
    void setExecutableFolder(const QString& folder) { executableFolder_ = folder; }
    std::filesystem::path statusFile() const;

    // The design's components, under the designer's names.
    GradientPanel* Draw3D1 = nullptr; // bottom: version, help, close
    GradientPanel* Draw3D2 = nullptr; // left: centre data to timetable tables
    GradientPanel* Draw3D3 = nullptr; // right: timetable to centre XML
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* BClose = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* BExportar = nullptr;
    QPushButton* BImportar = nullptr;
    QFileDialog* OpenDialogXML = nullptr;

signals:
    // The window has gone: closed (status written when embedded) or its host was destroyed.
    void finished();

public slots:
    void BExportarClick();
    void BImportarClick();
    void Button1Click();
    void helpRequested(); // F1

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape closes the window the same way as everything else

    // The one place a modal dialog runs (file dialog, message and error boxes); tests replace it.
    virtual int execModal(QDialog& dialog);
    // Starts the help viewer; returns the message to show when it could not.
    virtual QString startHelp(const app::HelpAction& action);

private:
    friend class FormRunHost;

    bool FormClose();
    void embedIn(WId handle);
    void fillWindow(GradientPanel* panel);
    void hostDestroyed();
    int runModal(QDialog& dialog);
    std::optional<std::filesystem::path> chooseXmlFile();
    void showMessage(const QString& text, const QString& details = {});
    void showError(const QString& text);
    void setBusy(bool busy);
    void showHelp(bool contents, int context);

    WindowState state_;
    QString executableFolder_;
    QString lastChosen_;
    QPointer<QWindow> host_;
    app::HostWatcher* watcher_ = nullptr;
    bool busy_ = false;
    bool hostGone_ = false;
};

} // namespace almadia
