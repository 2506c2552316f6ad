#include "app/DialogPresence.h"

PutAway PutAwayWith(bool trayIconShown) {
    return trayIconShown ? PutAway::Hide : PutAway::Minimise;
}

bool MustShowMinimised(bool trayIconShown, bool dialogVisible) {
    return !trayIconShown && !dialogVisible;
}

PutAway StartHold::Begin(bool trayIconShown) {
    const PutAway how = PutAwayWith(trayIconShown);
    m_hidden = how == PutAway::Hide;
    m_minimised = how == PutAway::Minimise;
    return how;
}

void StartHold::Release() {
    m_hidden = false;
    m_minimised = false;
}

void StartHold::Minimise() {
    if (!m_hidden)
        return;
    m_hidden = false;
    m_minimised = true;
}
