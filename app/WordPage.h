// The word page: one cell of the pad, opened from edit mode. Its caption (typed, kept in the
// kit's labels.txt), a word typed and said in both voices, the microphone held to record, the
// two voices to hear, the built-in word back, and the way back to the pad (still in edit mode).
// What it makes goes into the current kit; the built-in kit is never written, so the first change
// to it makes a kit of its own first. Words are made on a thread of their own (WordMaker).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Microphone.h"
#include "app/Page.h"
#include "app/WordJob.h"

class Button;
class Label;
class LevelMeter;
class ScrollPanel;
class TextField;

class WordPage : public Page {
public:
    explicit WordPage(UserInterface& ui);
    ~WordPage() override;

    // Shows cell 0..15.
    void Open(int cell);
    int GetCell() const { return cell; }
    // A file dropped on cell 0..15 becomes its word (the main page's drop).
    void TakeFile(int cell, const wchar_t* path);
    // WM_WORD_DONE.
    void OnWordDone();
    // MM_WIM_DATA.
    void OnRecorded(HWAVEIN device, WAVEHDR* header);
    // Shut-down: waits for a word being made and closes the microphone.
    void StopWork();
    bool IsBusy() const { return maker.IsBusy(); }
    // A kit was swapped in: words made into its folder before it loaded are loaded again.
    void OnKitSwapped(const wchar_t* folder);
    const wchar_t* GetStateLine() const;

    bool OnCommand(int id, int code, LPARAM control) override;
    bool OnKeyDown(UINT virtualKey, UINT scancode) override;
    bool OnChar(UINT character) override;
    std::vector<Control*> FocusOrder() const override;

private:
    void SetupRows();
    void Focus(TextField* field);
    void ShowState(const std::wstring& line);
    // The caption the pad shows for the cell now.
    std::wstring ShownCaption() const;
    // The kit's captions with the cell's replaced by `caption` (empty: the pad's own).
    std::vector<std::wstring> LabelsWith(const std::wstring& caption) const;
    // A job for the cell in a kit that may be written; null with the reason shown.
    std::unique_ptr<WordJob> NewJob(WordJob::Kind kind, int word);
    void Run(std::unique_ptr<WordJob> job, const wchar_t* doing);
    void Say();
    void StartRecording();
    void StopRecording(bool keep);
    void SaveCaption();

    std::unique_ptr<ScrollPanel> rows;
    std::unique_ptr<Label> title;
    std::unique_ptr<Label> captionLabel;
    std::unique_ptr<TextField> caption;
    std::unique_ptr<TextField> text;
    std::unique_ptr<Button> say;
    std::unique_ptr<Button> record;
    std::unique_ptr<LevelMeter> level;
    std::unique_ptr<Label> state;
    std::unique_ptr<Button> playLow;
    std::unique_ptr<Button> playHigh;
    std::unique_ptr<Button> builtIn;

    int cell = 0;
    std::wstring captionShown;  // the caption when the page opened or was last saved
    bool fromDrop = false;      // the running job is a drop on the main page
    // Words made since the kit was last swapped in, and where.
    std::vector<std::pair<std::wstring, int>> madeSinceSwap;
    Microphone microphone;
    WordMaker maker;
};
