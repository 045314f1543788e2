// The web address of a log line, the only kind of line the program hands to the desktop.
#pragma once

#include <QString>
#include <QUrl>

namespace pelldra {

// The URL of a job's line when it is an http(s) URL; an empty URL for any other line, since the desktop would run a
// handler for any other scheme.
QUrl WebUrlOfLine(const QString& line);

} // namespace pelldra
