// Commands about the state of buttons: whether a check box or radio button is ticked.
#include <windows.h>

#include "Probe.h"

namespace probe {
namespace {

Status Button(Context& context, const Args& args, JsonObject& out) {
    const auto id = args.Number(0);
    if (!id)
        return Status::Fail(L"usage: button ID");
    HWND button = nullptr;
    if (Status status = ResolveControl(context, *id, button); !status.ok)
        return status;
    const auto check = SendTimed(context, button, BM_GETCHECK, 0, 0);
    const auto state = SendTimed(context, button, BM_GETSTATE, 0, 0);
    if (!check || !state)
        return Status::Fail(L"no answer from the button");
    out.Int("id", *id).Int("check", *check).Int("state", *state);
    out.Bool("checked", *check == BST_CHECKED).Bool("enabled", IsWindowEnabled(button));
    out.Bool("visible", IsWindowVisible(button)).Text("text", WindowTitle(button));
    return Status::Ok();
}

} // namespace

void AddUiCommands(std::vector<Command>& commands) {
    commands.insert(commands.end(),
                    {
                        {"button", "ID: BM_GETCHECK (0, 1, 2), BM_GETSTATE and enabled", Button},
                    });
}

} // namespace probe
