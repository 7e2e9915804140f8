#include "Merge.h"

#include "GenerationError.h"

#include <git2.h>

namespace {

// libgit2 must be set up once per process before use; it counts its own calls.
void ensureLibrary()
{
    static const int initialised = git_libgit2_init();
    (void)initialised;
}

QString lastError()
{
    const git_error *error = git_error_last();
    return error && error->message ? QString::fromUtf8(error->message) : QStringLiteral("未知错误");
}

git_merge_file_input input(const QByteArray &bytes, const QByteArray &path)
{
    git_merge_file_input in = GIT_MERGE_FILE_INPUT_INIT;
    in.ptr = bytes.constData();
    in.size = size_t(bytes.size());
    in.path = path.constData();
    return in;
}

} // namespace

TMerge::TResult TMerge::ThreeWay(const QByteArray &base, const QByteArray &ours,
                                 const QByteArray &theirs, const QString &oursLabel,
                                 const QString &theirsLabel)
{
    ensureLibrary();
    const QByteArray oursName = oursLabel.toUtf8();
    const QByteArray theirsName = theirsLabel.toUtf8();
    const QByteArray baseName("base");
    const git_merge_file_input baseIn = input(base, baseName);
    const git_merge_file_input oursIn = input(ours, oursName);
    const git_merge_file_input theirsIn = input(theirs, theirsName);
    git_merge_file_options options = GIT_MERGE_FILE_OPTIONS_INIT;
    options.ancestor_label = baseName.constData();
    options.our_label = oursName.constData();
    options.their_label = theirsName.constData();
    git_merge_file_result merged = {};
    if (git_merge_file(&merged, &baseIn, &oursIn, &theirsIn, &options) != 0)
        throw TGenerationError(QStringLiteral("无法合并文件: ") + lastError());
    TResult result;
    result.clean = merged.automergeable != 0;
    result.bytes = QByteArray(merged.ptr, qsizetype(merged.len));
    git_merge_file_result_free(&merged);
    return result;
}

QString TMerge::UnifiedDiff(const QByteArray &oldBytes, const QByteArray &newBytes,
                            const QString &oldName, const QString &newName)
{
    if (oldBytes == newBytes)
        return QString();
    ensureLibrary();
    const QByteArray oldPath = oldName.toUtf8();
    const QByteArray newPath = newName.toUtf8();
    git_diff_options options = GIT_DIFF_OPTIONS_INIT;
    // Generated PHP is text, whatever bytes a user's edit may have put in.
    options.flags |= GIT_DIFF_FORCE_TEXT;
    git_patch *patch = nullptr;
    if (git_patch_from_buffers(&patch, oldBytes.constData(), size_t(oldBytes.size()),
                               oldPath.constData(), newBytes.constData(), size_t(newBytes.size()),
                               newPath.constData(), &options) != 0)
        throw TGenerationError(QStringLiteral("无法比较文件: ") + lastError());
    git_buf text = GIT_BUF_INIT;
    const int failed = git_patch_to_buf(&text, patch);
    git_patch_free(patch);
    if (failed != 0)
        throw TGenerationError(QStringLiteral("无法比较文件: ") + lastError());
    const QString diff = QString::fromUtf8(text.ptr, qsizetype(text.size));
    git_buf_dispose(&text);
    return diff;
}
