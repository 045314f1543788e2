// CLogEdit: the main window's log view of a run's lines, with opening and image-checking of URL lines.
#pragma once

#include <QPlainTextEdit>
#include <QUrl>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QMenu;

namespace pelldra {

class CLogEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    // How a URL is shown to the user: the desktop's handler unless the window sets another (LinkScout's, or a
    // test's recorder). It is only ever given an http(s) URL from a log line, or the image test page.
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit CLogEdit(QWidget* parent);
    CLogEdit(const CLogEdit&) = delete;
    CLogEdit& operator=(const CLogEdit&) = delete;

    // At the window's set-up: empty and disabled until the first run.
    void Init();
    // At a run's start: enabled and emptied.
    void BeginRun();
    // Shows one more line, the newest at the bottom in view. At kLogMaxLines lines the older half goes first.
    void AppendLine(const QString& text);
    void AppendLine(std::string_view utf8);
    // Shows a batch of lines as if they came one by one, in one edit and one scroll: laying the view out again for
    // every line of a quick run would stall the window.
    void AppendLines(const std::vector<std::string>& lines);

    int LineCount() const;
    QString Line(int i) const;

    void SetUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

    // Selects the line at a point of the viewport and builds its menu; nullptr (the line still selected) for a line
    // that holds no URL. The caller owns the menu.
    QMenu* CreateLineMenu(const QPoint& viewportPos);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void AppendTexts(const QStringList& texts);
    // Opens the URL of a log line when it is an http(s) URL; anything else is never handed on.
    void OpenLine(const QString& line);
    void CheckImage(const QString& url);

    UrlOpener opener_;
};

} // namespace pelldra
