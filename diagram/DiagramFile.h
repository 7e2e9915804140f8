#pragma once

#include "DiagramLayout.h"

#include <QImage>
#include <QString>

#include <stdexcept>

// A diagram that cannot be saved, worded for the user.
class TDiagramError : public std::runtime_error {
public:
    explicit TDiagramError(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// The model diagram saved as a picture file. Drawing a PNG needs fonts, and so a
// QGuiApplication (off screen will do).
class TDiagramFile {
public:
    // As SVG or PNG by the name's ending (.svg, .png, in any case); the file is replaced only
    // once it is whole. Throws TDiagramError.
    static void Save(const TDiagram &diagram, const QString &title, const QString &path);
    // The diagram drawn from its SVG, a pixel per unit. Throws TDiagramError when it is too big.
    static QImage Picture(const TDiagram &diagram, const QString &title);
};
