// Holds the files a restore is about to replace by a second link, so they can be put back with a rename.

#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillbank {

/**
 * The files a restore is about to replace, held by a second link beside
 * each, under a name of the restore's own temporaries (so a run that ends
 * at once leaves nothing the next restore does not remove). A restore
 * replaces a file by renaming a new one over it, so the held link keeps the
 * old content: putting it back is a rename too, and writes no data, which
 * still works when the disk has filled up. The links go with the object.
 */
class THeldFiles
{
public:
    THeldFiles() = default;
    ~THeldFiles() { Release(); }
    THeldFiles(const THeldFiles&) = delete;
    THeldFiles& operator=(const THeldFiles&) = delete;

    /// Links every file of `paths`; false, holding none, when one cannot be
    /// linked (a file system without links, say).
    bool Hold(const std::vector<std::string>& paths);
    /// Whether files are held.
    bool Holding() const { return !held_.empty(); }
    /// Renames every held link over its file; false when one could not be
    /// put back. Holds none afterwards.
    bool PutBack();

private:
    void Release();

    /// Each link and the file it holds.
    std::vector<std::pair<std::string, std::string>> held_;
};

} // namespace quillbank
