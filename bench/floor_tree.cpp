// The floor for the tree benchmark: a GUI program like blankmender.exe that
// walks a folder's tree as the program does, and does nothing more. Each
// folder is listed whole with FindFirstFileExW (the basic level, large
// fetches) before anything in it moves; what is in a folder goes before
// the folder, and the folder given comes last. A name with a blank or an
// ideographic space before its last dot gets one MoveFileW, to the name
// with underbars in their place. Dot names, hidden entries and reparse
// points are passed over, as the program passes them over.
//
//   floor_tree.exe FOLDER
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Entry {
    std::wstring name;
    bool folder;
};

void MoveIfBlank(const std::wstring& folder, const std::wstring& name)
{
    size_t end = name.rfind(L'.');
    if (end == std::wstring::npos)
        end = name.size();
    std::wstring newName = name;
    bool blank = false;
    for (size_t i = 0; i < end; ++i) {
        if (newName[i] == L' ' || newName[i] == L'\x3000') {
            newName[i] = L'_';
            blank = true;
        }
    }
    if (blank)
        MoveFileW((folder + name).c_str(), (folder + newName).c_str());
}

// folder ends in a separator.
void Walk(const std::wstring& folder)
{
    std::vector<Entry> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.cFileName[0] == L'.' ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        entries.push_back({found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);

    for (const Entry& entry : entries) {
        if (entry.folder)
            Walk(folder + entry.name + L"\\");
        MoveIfBlank(folder, entry.name);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2)
        return 2;
    std::wstring folder = arguments[1];
    const size_t nameAt = folder.rfind(L'\\') + 1;
    Walk(folder + L"\\");
    MoveIfBlank(folder.substr(0, nameAt), folder.substr(nameAt));
    return 0;
}
