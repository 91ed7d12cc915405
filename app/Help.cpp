#include "app/Help.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace almadia::app {

QString helpPageForContext(int context) {
    switch (context) {
    default:
        return QStringLiteral("almadia.html");
    }
}

HelpAction helpAction(bool contents, int context, const QString& folder, const QString& viewer) {
    const QDir dir(folder);
    const QString compiled = dir.filePath(QString::fromLatin1(HelpFileName));
    HelpAction action;

#ifdef Q_OS_WIN
    if (QFileInfo(compiled).isFile()) {
        action.kind = HelpAction::Kind::Viewer;
        action.program = QStringLiteral("hh.exe");
        if (contents)
            action.arguments = {QDir::toNativeSeparators(compiled)};
        else
            action.arguments = {QStringLiteral("-mapid"), QString::number(context),
                                QDir::toNativeSeparators(compiled)};
        return action;
    }
#else
    if (!viewer.isEmpty() && QFileInfo(compiled).isFile()) {
        action.kind = HelpAction::Kind::Viewer;
        action.program = viewer;
        if (contents)
            action.arguments = {compiled};
        else
            action.arguments = {QStringLiteral("-c"), QString::number(context), compiled};
        return action;
    }
#endif

    const QString page =
        dir.filePath(QString::fromLatin1(HelpPagesFolder) + QLatin1Char('/') +
                     (contents ? QStringLiteral("contenido.html") : helpPageForContext(context)));
    if (QFileInfo(page).isFile()) {
        action.kind = HelpAction::Kind::Browser;
        action.page = QUrl::fromLocalFile(page);
        return action;
    }

    action.message = QStringLiteral("No se encuentra la ayuda del programa: ni %1 ni %2.")
                         .arg(QDir::toNativeSeparators(compiled), QDir::toNativeSeparators(page));
    return action;
}

QString runHelpAction(const HelpAction& action) {
    switch (action.kind) {
    case HelpAction::Kind::Viewer:
        if (QProcess::startDetached(action.program, action.arguments)) return {};
        return QStringLiteral("No se ha podido abrir la ayuda con %1.").arg(action.program);
    case HelpAction::Kind::Browser:
        if (QDesktopServices::openUrl(action.page)) return {};
        return QStringLiteral("No se ha podido abrir la ayuda en el navegador: %1")
            .arg(QDir::toNativeSeparators(action.page.toLocalFile()));
    case HelpAction::Kind::Missing:
        break;
    }
    return action.message;
}

} // namespace almadia::app
