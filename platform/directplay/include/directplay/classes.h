// Makes CLSID_DirectPlay and CLSID_DirectPlayLobby known to CoCreateInstance. Programs that
// link the directplay target call it automatically at start-up; calling it again is harmless.
#pragma once

namespace directplay {

void RegisterClasses();

} // namespace directplay
