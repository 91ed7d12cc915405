#pragma once

// The program's help: "VERUR.chm" beside the executable, or its HTML pages in the folder "ayuda".
// On Linux the compiled file opens in xchm when it is installed; otherwise the HTML pages open in
// the default browser. On Windows the compiled file opens in the HTML Help viewer.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace almadia::app {

inline constexpr const char* HelpFileName = "VERUR.chm";
inline constexpr const char* HelpPagesFolder = "ayuda";
inline constexpr int MainHelpContext = 3;

// What a help request becomes.
struct HelpAction {
    enum class Kind { Viewer, Browser, Missing };
    Kind kind = Kind::Missing;
    QString program; // Viewer: the program to start
    QStringList arguments;
    QUrl page;       // Browser: the page to open
    QString message; // Missing: what to tell the user
};

// The table of contents (`contents`), or the topic of `context`, from the help in `folder`.
// `viewer` is the path of xchm, empty when it is not installed.
HelpAction helpAction(bool contents, int context, const QString& folder, const QString& viewer);

// The page of the HTML help shown for a context number (the main topic for an unknown one).
QString helpPageForContext(int context);

// Carries out `action`; returns an empty text, or the message to show when it could not.
QString runHelpAction(const HelpAction& action);

} // namespace almadia::app
