qm_core_sources(frame_geometry.cpp title_layout.cpp)
qm_win_sources(dlg_msg_box.cpp skin_flat_panel.cpp tray_icon.cpp wnd_game.cpp wnd_game_paint.cpp
               wnd_game_commands.cpp wnd_game_tray.cpp)
