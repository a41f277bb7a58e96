qm_win_sources(wnd_game.cpp)
