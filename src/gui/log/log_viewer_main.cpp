// LogViewer: shows one of Pelldra's daily logs, by default today's in the data folder, and follows it.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <ctime>

#include "core/engine/daily_log.h"
#include "core/platform/folders.h"
#include "gui/log/log_viewer_window.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/japanese_font.h"
#include "gui/platform/qt_translations.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("LogViewer"));
    QApplication::setOrganizationName(QStringLiteral("Tavin"));
    QApplication::setApplicationVersion(QStringLiteral(PELLDRA_VERSION));
    pelldra::UseJapaneseFont();
    pelldra::UseJapaneseQtTexts();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pelldraの日ごとのログを表示します。"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("log"),
                                 QStringLiteral("表示するログ（省略時はデータフォルダーの今日のログ）"));
    parser.process(application);

    // A bare name is read in the current folder: the window starts the viewer in the data folder.
    const QStringList arguments = parser.positionalArguments();
    const QString path =
        arguments.isEmpty() ? QDir(QString::fromStdString(pelldra::GetProgramFolder()))
                                  .filePath(QString::fromStdString(pelldra::CDailyLog::FileNameFor(std::time(nullptr))))
                            : QDir::current().absoluteFilePath(arguments.first());
    pelldra::LogViewerWindow window(path);
    // Without a session bus the viewer simply does not hear the boss key.
    pelldra::Broadcasts broadcasts;
    QObject::connect(&broadcasts, &pelldra::Broadcasts::Received, &window,
                     [&window](const QString& name, bool) { window.FollowBroadcast(name); });
    broadcasts.Listen();
    window.show();
    return application.exec();
}
