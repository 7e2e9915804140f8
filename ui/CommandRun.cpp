#include "ui/CommandRun.h"

#include "generator/output/GenerationError.h"
#include "model/DbHelper.h"
#include "ui/UserInteraction.h"

#include <QString>

bool RunCommand(TUserInteraction &ui, QWidget *parent, const std::function<void()> &command)
{
    QString failure;
    try {
        command();
        return true;
    } catch (const TDbError &error) {
        failure = error.message();
    } catch (const TGenerationError &error) {
        failure = error.message();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    // Shown outside the handler, so that nothing of the failed call is still on the stack.
    ui.message(parent, failure, TMessageKind::Error);
    return false;
}
