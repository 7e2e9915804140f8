#pragma once

#include "ProjectModel.h"
#include "TextTemplate.h"

// The form field of one member on a management page.
namespace FormInput {

// The member's input; `vars` holds its placeholders ({name}, {class}, {value}, ...). When
// `keyFixed`, a text key is read-only while a stored row is edited, as it names the row.
QString Build(const TMember &member, const TVars &vars, bool keyFixed);

} // namespace FormInput
