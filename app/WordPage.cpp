#include "app/WordPage.h"

#include <cmath>
#include <cstdio>

#include "app/Ids.h"
#include "app/MainPage.h"
#include "app/UserInterface.h"
#include "audio/KitLoader.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/LevelMeter.h"
#include "touchui/ScrollPanel.h"
#include "touchui/TextField.h"

namespace {

const wchar_t kHoldToRecord[] = L"Hold to record";

}  // namespace

WordPage::WordPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_WORD),
      rows(Make<ScrollPanel>(IDC_WORD_ROWS)),
      title(Make<Label>(IDC_WORD_TITLE)),
      captionLabel(Make<Label>(IDC_WORD_CAPTION_LABEL)),
      caption(Make<TextField>(IDC_WORD_CAPTION)),
      text(Make<TextField>(IDC_WORD_TEXT)),
      say(Make<Button>(IDC_WORD_SAY)),
      record(Make<Button>(IDC_WORD_RECORD)),
      level(Make<LevelMeter>(IDC_WORD_LEVEL)),
      state(Make<Label>(IDC_WORD_STATE)),
      playLow(Make<Button>(IDC_WORD_PLAY_LOW)),
      playHigh(Make<Button>(IDC_WORD_PLAY_HIGH)),
      builtIn(Make<Button>(IDC_WORD_BUILT_IN)),
      microphone(ui_.GetWindow()) {
    SetupRows();
    Button* back = MakeWayBack(IDC_WORD_BACK);
    Compose({rows.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

WordPage::~WordPage() = default;

void WordPage::SetupRows() {
    const Skin& skin = ui.GetSkin();
    HFONT font = skin.GetFont(Font12Medium);
    SetupLabel(title.get(), skin.GetFont(Font12Semibold), kFormatCentred, L"Word");
    SetupLabel(captionLabel.get(), font, kFormatLeft, L"Caption:");
    for (TextField* field : {caption.get(), text.get()}) {
        field->SetFont(font);
        field->SetMaxLength(KitLoader::kMaxLabelLength);
    }
    text->SetPlaceholder(L"A word to say");
    SetupKey(say.get(), font, L"Say it");
    SetupKey(record.get(), font, kHoldToRecord);
    level->SetBackImage(skin.GetImage(SldSettingsBack));
    level->SetFillColors(kGradientTop, kGradientBottom);
    SetupLabel(state.get(), font, kFormatLines, L"");
    SetupKey(playLow.get(), font, L"Low \u25B6");
    SetupKey(playHigh.get(), font, L"High \u25B6");
    SetupKey(builtIn.get(), font, L"Built-in");

    // The rows as drawn for 240 x 212 between the bars; a shorter screen scrolls them.
    struct Place {
        Control* control;
        int x, y, w, h;
    };
    const Place places[] = {
        {title.get(), 0, 4, 240, 20},      {captionLabel.get(), 15, 28, 65, 26},
        {caption.get(), 80, 28, 145, 26},  {text.get(), 15, 60, 145, 26},
        {say.get(), 165, 60, 60, 26},      {record.get(), 15, 92, 210, 30},
        {level.get(), 15, 126, 210, 8},    {state.get(), 15, 138, 210, 32},
        {playLow.get(), 15, 174, 65, 30},  {playHigh.get(), 87, 174, 66, 30},
        {builtIn.get(), 160, 174, 65, 30},
    };
    const int top = ScaleY(54);
    rows->SetBounds(0, top, screenWidth, screenHeight - ScaleY(54) - top);
    rows->SetIndicatorColors(kGradientTop, kGradientBottom);
    for (const Place& p : places) {
        rows->AddControl(p.control, ScaleX(p.x), ScaleY(p.y), ScaleX(p.w), ScaleY(p.h));
    }
}

void WordPage::Open(int cellToShow) {
    cell = cellToShow;
    captionShown = ShownCaption();
    caption->Clear();
    caption->SetText(captionShown.c_str());
    text->Clear();
    Focus(nullptr);
    const std::wstring heading = L"Word " + std::to_wstring(cell + 1);
    title->SetText(heading.c_str());
    const std::wstring why = microphone.WhyNot();
    record->SetText(why.empty() ? kHoldToRecord : L"Cannot record");
    record->SetEnabled(why.empty() ? 1 : 0);
    ShowState(why.empty() ? L"" : L"Cannot record: " + why);
    level->SetLevel(0);
    level->ResetPeak();
    rows->ScrollTo(0);
}

std::wstring WordPage::ShownCaption() const {
    const SoundBank* bank = ui.GetSoundBank();
    const wchar_t* label = bank ? bank->GetLabel(cell + 1) : nullptr;
    return label ? label : PadLabel(cell);
}

std::vector<std::wstring> WordPage::LabelsWith(const std::wstring& newCaption) const {
    std::vector<std::wstring> labels(SoundBank::kWords);
    const SoundBank* bank = ui.GetSoundBank();
    for (int word = 1; word <= SoundBank::kWords; ++word) {
        const wchar_t* label = bank ? bank->GetLabel(word) : nullptr;
        labels[word - 1] = label ? label : L"";
    }
    // The pad's own caption needs no line.
    labels[cell] = newCaption == PadLabel(cell) ? L"" : newCaption;
    return labels;
}

const wchar_t* WordPage::GetStateLine() const {
    return state->GetText();
}

void WordPage::ShowState(const std::wstring& line) {
    // SetText keeps the text for an empty string.
    state->text[0] = 0;
    state->SetText(line.c_str());
    state->Invalidate();
}

void WordPage::Focus(TextField* field) {
    for (TextField* f : {caption.get(), text.get()}) {
        f->SetFocused(f == field ? 1 : 0);
        f->Invalidate();
    }
    SipShowIM(field ? SIPF_ON : SIPF_OFF);
    if (field && rows->EnsureVisible(field)) {
        rows->Invalidate();
    }
}

std::unique_ptr<WordJob> WordPage::NewJob(WordJob::Kind kind, int word) {
    if (maker.IsBusy()) {
        ShowState(L"Still making the last word...");
        return nullptr;
    }
    std::wstring folder, why;
    if (!ui.WritableKit(&folder, &why)) {
        ShowState(why);
        std::fprintf(stderr, "pulsor: word %d: %ls\n", word, why.c_str());
        return nullptr;
    }
    auto job = std::make_unique<WordJob>();
    job->kind = kind;
    job->word = word;
    job->kit = folder;
    job->builtIn = ui.GetSettings().soundsFolder;
    return job;
}

void WordPage::Run(std::unique_ptr<WordJob> job, const wchar_t* doing) {
    if (!maker.Start(std::move(job), window)) {
        ShowState(L"The word could not be started.");
        return;
    }
    ShowState(doing);
}

void WordPage::Say() {
    const std::wstring said = text->GetText();
    if (said.empty()) {
        ShowState(L"Type a word to say first.");
        return;
    }
    std::unique_ptr<WordJob> job = NewJob(WordJob::Speak, cell + 1);
    if (!job) {
        return;
    }
    job->text = said;
    // A caption left as it was follows the new word.
    const std::wstring newCaption = caption->GetText() == captionShown ? said : caption->GetText();
    job->labels = LabelsWith(newCaption);
    Run(std::move(job), L"Saying it...");
}

void WordPage::SaveCaption() {
    const std::wstring newCaption = caption->GetText();
    if (newCaption == captionShown) {
        return;
    }
    std::unique_ptr<WordJob> job = NewJob(WordJob::Caption, cell + 1);
    if (!job) {
        return;
    }
    job->labels = LabelsWith(newCaption);
    Run(std::move(job), L"Saving the caption...");
}

void WordPage::StartRecording() {
    if (maker.IsBusy()) {
        ShowState(L"Still making the last word...");
        return;
    }
    std::wstring why;
    if (!microphone.Start(&why)) {
        record->SetText(L"Cannot record");
        record->Invalidate();
        ShowState(L"Cannot record: " + why);
        return;
    }
    record->SetText(L"Recording... let go to keep it");
    level->SetLevel(0);
    level->ResetPeak();
    record->Invalidate();
    level->Invalidate();
    ShowState(L"");
}

void WordPage::StopRecording(bool keep) {
    if (!microphone.IsRecording()) {
        return;
    }
    std::vector<BYTE> sound = microphone.Stop();
    record->SetText(kHoldToRecord);
    record->Invalidate();
    level->SetLevel(0);
    level->Invalidate();
    if (!keep) {
        ShowState(L"The recording was dropped.");
        return;
    }
    if (sound.empty()) {
        ShowState(L"Nothing was recorded.");
        return;
    }
    std::unique_ptr<WordJob> job = NewJob(WordJob::Record, cell + 1);
    if (!job) {
        return;
    }
    job->sound = std::move(sound);
    if (caption->GetText() != captionShown) {
        job->labels = LabelsWith(caption->GetText());
    }
    Run(std::move(job), L"Keeping the recording...");
}

void WordPage::OnRecorded(HWAVEIN device, WAVEHDR* header) {
    double peak = 0;
    bool full = false;
    if (!microphone.OnData(device, header, &peak, &full)) {
        return;
    }
    level->SetDecibels(peak > 0 ? 20 * std::log10(peak) : -120.0);
    level->Invalidate();
    if (full) {
        StopRecording(true);  // the longest a word is recorded for
    }
}

void WordPage::TakeFile(int dropCell, const wchar_t* path) {
    if (dropCell < 0 || dropCell >= SoundBank::kWords || !path) {
        return;
    }
    std::unique_ptr<WordJob> job = NewJob(WordJob::File, dropCell + 1);
    if (!job) {
        if (!IsShown()) {
            ui.GetMainPage()->ShowNotice(GetStateLine());
        }
        return;
    }
    job->file = path;
    fromDrop = !IsShown();
    if (IsShown() && dropCell != cell) {
        Open(dropCell);
    }
    Run(std::move(job), L"Taking the file...");
}

void WordPage::OnWordDone() {
    std::unique_ptr<WordJob> job = maker.Finish();
    if (!job) {
        return;
    }
    SoundBank* bank = ui.GetSoundBank();
    if (bank && job->low && job->high) {
        bank->SetSample(job->word, false, job->low.release());
        bank->SetSample(job->word, true, job->high.release());
        bank->SetVolume(bank->GetVolume());
    }
    if (job->kind != WordJob::Caption) {
        madeSinceSwap.emplace_back(job->kit, job->word);
    }
    const bool drop = fromDrop;
    fromDrop = false;
    if (!job->error.empty()) {
        std::fprintf(stderr, "pulsor: word %d: %ls; not used\n", job->word, job->error.c_str());
        if (drop) {
            ui.GetMainPage()->ShowNotice((L"Not used: " + job->error).c_str());
        }
        ShowState(L"Not used: " + job->error);
        return;
    }
    if (bank && !job->labels.empty()) {
        const std::wstring& line = job->labels[job->word - 1];
        bank->SetLabel(job->word, line.empty() ? nullptr : line.c_str());
    }
    ui.GetMainPage()->GetPad()->Invalidate();
    if (job->word == cell + 1) {
        captionShown = ShownCaption();
        caption->Clear();
        caption->SetText(captionShown.c_str());
        caption->Invalidate();
    }
    switch (job->kind) {
        case WordJob::Caption:
            ShowState(L"The caption is kept.");
            break;
        case WordJob::BuiltIn:
            ShowState(L"The built-in word is back.");
            break;
        default:
            ShowState(L"The new word is ready.");
            break;
    }
}

void WordPage::OnKitSwapped(const wchar_t* folder) {
    // The first change to the built-in kit makes a kit and chooses it; its words may have been
    // read before this page wrote its word there.
    SoundBank* bank = ui.GetSoundBank();
    const KitLoader loader(folder, ui.GetSettings().soundsFolder);
    // The same folder, written with or without its last separator.
    auto bare = [](std::wstring path) {
        while (!path.empty() && path.back() == L'/') {
            path.pop_back();
        }
        return path;
    };
    for (const auto& made : madeSinceSwap) {
        if (bank && bare(made.first) == bare(folder)) {
            bank->SetSample(made.second, false, loader.CreateWord(made.second, false));
            bank->SetSample(made.second, true, loader.CreateWord(made.second, true));
            bank->SetVolume(bank->GetVolume());
        }
    }
    madeSinceSwap.clear();
}

void WordPage::StopWork() {
    microphone.Stop();
    maker.Finish();
}

bool WordPage::OnCommand(int id, int code, LPARAM control) {
    switch (id) {
        case IDC_WORD_CAPTION:
        case IDC_WORD_TEXT: {
            TextField* field = id == IDC_WORD_CAPTION ? caption.get() : text.get();
            if (code == FocusRequested) {
                Focus(field);
            } else if (code == Entered) {
                if (field == text.get()) {
                    Say();
                } else {
                    SaveCaption();
                }
            }
            return true;
        }
        case IDC_WORD_SAY:
            if (code == Clicked) {
                Say();
            }
            return true;
        case IDC_WORD_RECORD:
            if (code == Pressed) {
                StartRecording();
            } else if (code == Released || code == Cancelled) {
                StopRecording(code == Released);
            }
            return true;
        case IDC_WORD_PLAY_LOW:
        case IDC_WORD_PLAY_HIGH:
            if (code == Clicked && ui.GetSoundBank()) {
                ui.GetSoundBank()->Play(cell + 1, id == IDC_WORD_PLAY_HIGH);
            }
            return true;
        case IDC_WORD_BUILT_IN:
            if (code == Clicked) {
                if (std::unique_ptr<WordJob> job = NewJob(WordJob::BuiltIn, cell + 1)) {
                    job->labels = LabelsWith(L"");
                    Run(std::move(job), L"Giving the built-in word back...");
                }
            }
            return true;
        case IDC_WORD_BACK:
            if (code == Clicked) {
                StopRecording(false);
                SaveCaption();
                Focus(nullptr);
            }
            return Page::OnCommand(id, code, control);
        default:
            return false;
    }
}

bool WordPage::OnKeyDown(UINT virtualKey, UINT scancode) {
    // While a field has the focus the keys type (WM_CHAR), Escape included.
    if (caption->IsFocused() || text->IsFocused()) {
        return true;
    }
    return Page::OnKeyDown(virtualKey, scancode);
}

bool WordPage::OnChar(UINT character) {
    TextField* field = caption->IsFocused() ? caption.get()
                       : text->IsFocused()  ? text.get()
                                            : nullptr;
    if (!field) {
        return false;
    }
    if (character == 0x1B) {
        Focus(nullptr);  // Escape lets go of the field; a second one goes back
        return true;
    }
    field->OnChar(character);
    return true;
}

std::vector<Control*> WordPage::FocusOrder() const {
    return {caption.get(), text.get(),     say.get(),     record.get(),
            playLow.get(), playHigh.get(), builtIn.get(), GetWayBack()};
}
