#pragma once

#include <string>
#include <vector>

// Writes a new ZIP archive (no password) at `archivePath` holding each file of `files` under its
// bare name (the text after the last backslash). A file that cannot be read is left out.
// Returns the number of files added, or -1 when the archive could not be created or written
// (nothing is left behind then).
int ZipReportFiles(const std::string& archivePath, const std::vector<std::string>& files);
