#pragma once

#include "DiagramLayout.h"

#include <QString>

#include <functional>
#include <stdexcept>

class QIODevice;

// A diagram that cannot be saved, worded for the user.
class TDiagramError : public std::runtime_error {
public:
    explicit TDiagramError(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// The model diagram written to a file, with no more than Qt Core: the SVG itself, and the file
// handling a picture shares with it.
namespace DiagramSaving {

enum class TFormat { Svg, Png };

// By the name's ending (.svg, .png, in any case). Throws TDiagramError for any other.
TFormat FormatOf(const QString &path);

// Fills path by write, which returns why it failed, empty when it did not; the file is replaced
// only once it is whole. Throws TDiagramError.
void Write(const QString &path, const std::function<QString(QIODevice &)> &write);

// The diagram's SVG in path. Throws TDiagramError.
void SaveSvg(const TDiagram &diagram, const QString &title, const QString &path);

} // namespace DiagramSaving
