// The user's kits: the built-in words and every folder in the kits folder
// ($XDG_DATA_HOME/pulsor/kits), the one playing, and what a person does with them from the
// kits page: choose one (played at once, kept as the "Kit" setting), make a new one from the
// words playing now, rename one, and move one to the desktop's trash. The built-in words are
// never written, renamed or deleted. Every failure comes back as a line to show, naming the
// folder and the reason.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

class UserInterface;

class Kits {
public:
    struct Kit {
        std::wstring name;    // shown; the folder's own name ("Built-in" for the built-in words)
        std::wstring folder;  // ending in a separator; empty for the built-in words
        bool IsBuiltIn() const { return folder.empty(); }
    };
    static const wchar_t kBuiltInName[];

    explicit Kits(UserInterface& ui);

    // The kits folder, ending in a separator (made with its parents when `create`); empty when
    // the data folder is unknown or the path too long.
    static std::wstring Folder(bool create);
    // The built-in words first, then the kits folder's folders in name order (hidden ones left
    // out).
    std::vector<Kit> List() const;
    // The kit playing now (or loading): its folder is the "Kit" setting.
    Kit Current() const;
    bool IsCurrent(const Kit& kit) const;

    // Plays `kit` from when it has loaded and keeps the choice for later runs.
    void Choose(const Kit& kit);
    // A new kit holding a copy of the current kit's files, named "My words", "My words 2", ...;
    // chosen. False with the line to show in `error`.
    bool New(Kit* made, std::wstring* error);
    // Why `name` cannot name a kit beside the others ("" when it can).
    std::wstring CheckName(const std::wstring& name) const;
    // Renames `kit` (not the built-in one) to `name`; the current kit stays current.
    bool Rename(const Kit& kit, const std::wstring& name, Kit* renamed, std::wstring* error);
    // Moves `kit` (not the built-in one) to the desktop's trash; when it was the current kit,
    // the built-in words play.
    bool Delete(const Kit& kit, std::wstring* error);
    // A kit the word editor may write: the current one, or, when that is the built-in one, a new
    // kit made from it and chosen. Its folder (ending in a separator), or empty with `error`.
    std::wstring MakeWritable(std::wstring* error);

    // The words for the thread's last error ("Permission denied"), or its number.
    static std::wstring LastErrorWords();

private:
    // "My words", then "My words 2", ... : the first name no entry of the kits folder has.
    std::wstring FreshName(const std::wstring& folder) const;
    static bool Exists(const std::wstring& path);
    // The last error's words, after `what` ("cannot make /x/My words: Permission denied").
    static std::wstring Failure(const wchar_t* what, const std::wstring& path);

    UserInterface& ui;
};
