#pragma once
// The settings that the Options dialog edits, "When finished:" and "Copying" (with "Also copy to"),
// and the dialog's rules.
// The dialog works on a copy; its controls are derived from the copy, read back on OK, and only OK
// hands the result back to the main dialog.
#include <cstdint>
#include <string>

// What a finished run does. Each flag is on when non-zero.
struct CompletionOptions {
    int32_t m_ejectCdRom = 0;
    int32_t m_showPopup = 0;
    int32_t m_beep = 0;
    int32_t m_beepBySpeaker = 0;

    bool operator==(const CompletionOptions&) const = default;
};

// How a run copies; read by a run when it starts. Each flag is on when non-zero.
struct CopyingOptions {
    int32_t m_verify = 0;  // "Verify copies"
    int32_t m_onlyNew = 0; // "Copy only files not copied before"

    bool operator==(const CopyingOptions&) const = default;
};

// Everything the Options dialog edits.
struct OptionsDialogValues {
    CompletionOptions completion;
    CopyingOptions copying;
    std::wstring alsoCopyTo; // "Also copy to": a second destination, empty for one copy

    bool operator==(const OptionsDialogValues&) const = default;
};

// What the Options dialog's controls show.
struct OptionsControls {
    bool ejectCdRom = false;    // "Eject drive (CD-ROM only)"
    bool showPopup = false;     // "Show pop-up message"
    bool beep = false;          // "Issue beep to:"
    bool commonAudio = false;   // "Common audio output"
    bool systemSpeaker = false; // "System speaker"
    bool radiosEnabled = false; // both radio buttons together
    bool verify = false;        // "Verify copies"
    bool onlyNew = false;       // "Copy only files not copied before"
    std::wstring alsoCopyTo;    // "Also copy to:", as typed or picked

    bool operator==(const OptionsControls&) const = default;
};

// The dialog result that hands the edited values back (IDOK).
inline constexpr intptr_t kOptionsAccepted = 1;

// The controls as the dialog opens: any non-zero flag ticks its box, exactly one radio button is
// ticked, and the radio buttons are enabled only while the beep is on.
OptionsControls ControlsFor(const OptionsDialogValues& values);

// A click on "Issue beep to:": the radio buttons follow the beep's tick and keep their own ticks.
void SetBeepTicked(OptionsControls& controls, bool ticked);

// OK reads every control back as 0 or 1. The speaker choice is kept even while the beep is off, so
// it is still there when the beep is switched on again.
OptionsDialogValues OptionsFromControls(const OptionsControls& controls);

// What the main dialog holds once the Options dialog has ended with dialogResult: the edited values
// after OK, its own values after Cancel, Esc, the close box or a dialog that could not be shown.
OptionsDialogValues OptionsAfterDialog(const OptionsDialogValues& current, const OptionsDialogValues& edited,
                                       intptr_t dialogResult);
