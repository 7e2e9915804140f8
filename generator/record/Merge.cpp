#include "Merge.h"

#include "GenerationError.h"

#include <QLibrary>

#include <git2.h>

namespace {

// libgit2 and the dozen libraries it brings (TLS, SSH, Kerberos) are loaded on the first merge
// or diff, not when the program starts: most runs never need them.
struct TGit {
    decltype(&git_libgit2_init) init = nullptr;
    decltype(&git_error_last) errorLast = nullptr;
    decltype(&git_merge_file) mergeFile = nullptr;
    decltype(&git_merge_file_result_free) mergeFileResultFree = nullptr;
    decltype(&git_patch_from_buffers) patchFromBuffers = nullptr;
    decltype(&git_patch_to_buf) patchToBuf = nullptr;
    decltype(&git_patch_free) patchFree = nullptr;
    decltype(&git_buf_dispose) bufDispose = nullptr;
    QString problem; // why the library could not be used; empty when it can
};

template <typename Function>
void resolve(QLibrary &library, Function &function, const char *name, QString &problem)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    if (!function && problem.isEmpty())
        problem = library.errorString();
}

const TGit &git()
{
    static const TGit loaded = [] {
        TGit found;
        QLibrary library(QStringLiteral(VELMORA_LIBGIT2_SONAME));
        if (!library.load()) {
            found.problem = library.errorString();
            return found;
        }
        resolve(library, found.init, "git_libgit2_init", found.problem);
        resolve(library, found.errorLast, "git_error_last", found.problem);
        resolve(library, found.mergeFile, "git_merge_file", found.problem);
        resolve(library, found.mergeFileResultFree, "git_merge_file_result_free", found.problem);
        resolve(library, found.patchFromBuffers, "git_patch_from_buffers", found.problem);
        resolve(library, found.patchToBuf, "git_patch_to_buf", found.problem);
        resolve(library, found.patchFree, "git_patch_free", found.problem);
        resolve(library, found.bufDispose, "git_buf_dispose", found.problem);
        // libgit2 must be set up once per process before use.
        if (found.problem.isEmpty())
            found.init();
        return found;
    }();
    if (!loaded.problem.isEmpty())
        throw TGenerationError(QStringLiteral("无法载入合并文件所需的库 %1: %2")
                                   .arg(QStringLiteral(VELMORA_LIBGIT2_SONAME), loaded.problem));
    return loaded;
}

QString lastError()
{
    const git_error *error = git().errorLast();
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
    const TGit &lib = git();
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
    if (lib.mergeFile(&merged, &baseIn, &oursIn, &theirsIn, &options) != 0)
        throw TGenerationError(QStringLiteral("无法合并文件: ") + lastError());
    TResult result;
    result.clean = merged.automergeable != 0;
    result.bytes = QByteArray(merged.ptr, qsizetype(merged.len));
    lib.mergeFileResultFree(&merged);
    return result;
}

QString TMerge::UnifiedDiff(const QByteArray &oldBytes, const QByteArray &newBytes,
                            const QString &oldName, const QString &newName)
{
    if (oldBytes == newBytes)
        return QString();
    const TGit &lib = git();
    const QByteArray oldPath = oldName.toUtf8();
    const QByteArray newPath = newName.toUtf8();
    git_diff_options options = GIT_DIFF_OPTIONS_INIT;
    // Generated PHP is text, whatever bytes a user's edit may have put in.
    options.flags |= GIT_DIFF_FORCE_TEXT;
    git_patch *patch = nullptr;
    if (lib.patchFromBuffers(&patch, oldBytes.constData(), size_t(oldBytes.size()),
                               oldPath.constData(), newBytes.constData(), size_t(newBytes.size()),
                               newPath.constData(), &options) != 0)
        throw TGenerationError(QStringLiteral("无法比较文件: ") + lastError());
    git_buf text = GIT_BUF_INIT;
    const int failed = lib.patchToBuf(&text, patch);
    lib.patchFree(patch);
    if (failed != 0)
        throw TGenerationError(QStringLiteral("无法比较文件: ") + lastError());
    const QString diff = QString::fromUtf8(text.ptr, qsizetype(text.size));
    lib.bufDispose(&text);
    return diff;
}
