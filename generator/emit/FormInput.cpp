#include "FormInput.h"

#include "PageFields.h"

namespace {

const char inputText[] =
    R"php(<input type="text" id="f-{name}" name="{class}[{name}]"{maxlength}{required} value="<?= h({value}) ?>"{readonly}>)php";
const char inputTextarea[] =
    R"php(<textarea id="f-{name}" name="{class}[{name}]" rows="4"{maxlength}{required}><?= h({value}) ?></textarea>)php";
const char inputInteger[] =
    R"php(<input type="number" step="1"{min} id="f-{name}" name="{class}[{name}]"{required} value="<?= h({value}) ?>">)php";
const char inputFloat[] =
    R"php(<input type="number" step="any" id="f-{name}" name="{class}[{name}]"{required} value="<?= h({value}) ?>">)php";
const char inputDecimal[] =
    R"php(<input type="number" step="{step}" min="-{max}" max="{max}" id="f-{name}" name="{class}[{name}]"{required} value="<?= h({value}) ?>">)php";
const char inputDateTime[] =
    R"php(<input type="datetime-local" step="1" id="f-{name}" name="{class}[{name}]"{required} value="<?= h(format_date({value}, 'Y-m-d\TH:i:s')) ?>">)php";
const char inputTime[] =
    R"php(<input type="time" step="1" id="f-{name}" name="{class}[{name}]"{required} value="<?= h({value}) ?>">)php";
// An unticked box sends nothing: the hidden 0 before it stands in.
const char inputBoolean[] =
    R"php(<input type="hidden" name="{class}[{name}]" value="0"><input type="checkbox" id="f-{name}" name="{class}[{name}]" value="1"<?= {value} ? ' checked' : '' ?>>)php";
const char inputEnum[] =
    R"php(<select id="f-{name}" name="{class}[{name}]"{required}><?= select_options({values}, {value}, '请选择') ?></select>)php";
const char inputDate[] =
    R"php(<input type="date" id="f-{name}" name="{class}[{name}]"{required} value="<?= h(format_date({value})) ?>">)php";
const char inputPicture[] =
    R"php(<img class="thumb" id="p-{name}" src="<?= h(picture_url({value})) ?>" alt=""> <input type="file" id="f-{name}" name="{name}" accept=".jpg,.jpeg,.png,.gif,.bmp" data-preview="p-{name}"{required}> <span class="hint">jpg、png、gif、bmp，不超过 2000 KB<?= $editing ? '；不选择则保留原图片' : '' ?></span>)php";
// Bytes in hex, two digits a byte.
const char inputHex[] =
    R"php(<input type="text" id="f-{name}" name="{class}[{name}]" maxlength="{digits}" pattern="([0-9A-Fa-f]{2})*"{required} value="<?= h({value}) ?>"> <span class="hint">十六进制，每字节两位</span>)php";
// A drop-down, or a type-ahead lookup when the other table holds many rows.
const char inputReference[] =
    R"php(<?= reference_input(${ref}_res, 'f-{name}', '{class}[{name}]', {value}, {needed}, '{Class}', '{name}') ?>)php";

// The step of a decimal field (0.01 for two places) and its largest value (999.99 for five
// digits of which two are places).
QString decimalStep(int scale)
{
    return scale <= 0 ? QStringLiteral("1")
                       : QStringLiteral("0.") + QString(scale - 1, QLatin1Char('0')) + QLatin1Char('1');
}

QString decimalMax(int precision, int scale)
{
    const QString whole(qMax(precision - scale, 0), QLatin1Char('9'));
    const QString places(qMax(scale, 0), QLatin1Char('9'));
    return (whole.isEmpty() ? QStringLiteral("0") : whole)
        + (places.isEmpty() ? QString() : QLatin1Char('.') + places);
}

} // namespace

namespace FormInput {

using PageFields::NeedsValue;

QString Build(const TMember &member, const TVars &vars, bool keyFixed)
{
    const bool required = NeedsValue(member);
    const bool isKey = member.memberIsPri() == 1;
    const QString type = member.memberType();
    if (type == MemberType::Picture) {
        // A new object must bring its picture; an edited one keeps the stored picture.
        return FillTemplate(inputPicture,
                            vars.With({{"required", required
                                                        ? QStringLiteral("<?= $editing ? '' : ' required' ?>")
                                                        : QString()}}));
    }
    const TVars input = vars.With({{"required", required ? QStringLiteral(" required") : QString()}});
    if (type == MemberType::Integer || type == MemberType::BigInt) {
        const bool unsignedOnly = member.memberIsUnsigned() == 1;
        return FillTemplate(inputInteger,
                            input.With({{"min", unsignedOnly ? QStringLiteral(" min=\"0\"") : QString()}}));
    }
    if (type == MemberType::Float)
        return FillTemplate(inputFloat, input);
    if (type == MemberType::Decimal)
        return FillTemplate(inputDecimal,
                            input.With({{"step", decimalStep(member.memberScale())},
                                        {"max", decimalMax(member.memberLength(), member.memberScale())}}));
    if (type == MemberType::Date)
        return FillTemplate(inputDate, input);
    if (type == MemberType::DateTime)
        return FillTemplate(inputDateTime, input);
    if (type == MemberType::Time)
        return FillTemplate(inputTime, input);
    if (type == MemberType::Boolean)
        return FillTemplate(inputBoolean, input);
    if (type == MemberType::Enum)
        return FillTemplate(inputEnum, input);
    if (type == MemberType::Binary)
        return FillTemplate(inputHex, input.With({{"digits", QString::number(2 * member.memberLength())}}));
    if (MemberType::IsReference(type))
        return FillTemplate(inputReference,
                            vars.With({{"needed", required ? QStringLiteral("true") : QStringLiteral("false")}}));
    const int length = member.memberLength();
    const QString maxlength = length > 0 ? QStringLiteral(" maxlength=\"%1\"").arg(length) : QString();
    // The key of a stored row names it: it is not changed in the form.
    const QString readonly = isKey && keyFixed ? QStringLiteral("<?= $editing ? ' readonly' : '' ?>") : QString();
    const bool longText = length > 100 || type == MemberType::LongText;
    return FillTemplate(longText ? inputTextarea : inputText,
                        input.With({{"maxlength", maxlength}, {"readonly", readonly}}));
}

} // namespace FormInput
