#pragma once

#include <functional>

class QWidget;
class TUserInteraction;

// Runs one command. A failure of the model database or of generation (or anything else
// thrown) is shown to the user as an error box and ends the command there. Returns whether
// the command ran to its end.
bool RunCommand(TUserInteraction &ui, QWidget *parent, const std::function<void()> &command);
