// The host's save-as box: the name of a file the program is to write for
// the person, in the folder they get such files from (MucTools_OutputFolder).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Asks the person, under `title`, for the name of a file to write, offering
// `offeredName`. The answer is a bare file name (blanks around it dropped)
// put into MucTools_OutputFolder(); a name with a folder in it ("/", "\",
// ".."), an empty name or one with control characters is refused with a
// message box and the question asked again, as is the name of a folder
// there. When a file of that name exists the person confirms replacing it
// (No asks again). True with the full path in `path`; false when the person
// cancelled or no UI driver is installed (`path` unchanged).
//
// Nothing is created here. The caller creates the file (FIOA_Create), and
// after a successful FIOA_Close announces it with MucFilet_FileWritten(path)
// so a browser offers it for download; an incomplete file is erased
// (FIOA_Erase), not announced.
[[nodiscard]] bool MucFilet_FileSaveAsBox(std::string_view title, std::string_view offeredName,
                                          std::string& path);

// Why `name` cannot be the bare name of a file to write ("" when it can).
std::string MucFilet_BadFileName(std::string_view name);

// Tells the person of the finished file at `path` (one MucFilet_FileSaveAsBox
// gave): a browser offers it for download under its own name, a script's
// transcript notes it. Call it once, after FIOA_Close succeeded.
void MucFilet_FileWritten(const std::string& path);

// The host's box for choosing several files to read (interchanges to
// upload), titled `title`, showing the files that match `filter` ("*.*"),
// opened in `directory` ("" the person's own folder). True with the full
// paths of the chosen files in `paths` (each readable by this program: a
// browser's uploads are stored first) and the folder they were chosen in
// in `directory`; false when the person cancelled or no UI driver is
// installed (nothing changed).
[[nodiscard]] bool MucFilet_MultiFileOpenBox(std::string_view title, std::string_view filter,
                                             std::string& directory,
                                             std::vector<std::string>& paths);
