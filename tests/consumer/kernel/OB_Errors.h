// The game's own errors, under the same path as the engine's header.
#pragma once

#define GAME_OWN_ERRORS 1

enum class TGameError { None, NoSave };
