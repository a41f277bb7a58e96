qm_core_sources(frame_geometry.cpp)
qm_win_sources(dlg_msg_box.cpp skin_flat_panel.cpp tray_icon.cpp wnd_game.cpp)
