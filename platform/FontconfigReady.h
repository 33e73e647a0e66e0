#pragma once
// fontconfig's one initialisation for the platform layer, released at exit
// (every user of fontconfig in platform/ goes through it). False when
// fontconfig cannot be initialised.

[[nodiscard]] bool FontconfigReady();
