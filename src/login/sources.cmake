qm_core_sources(web_addresses.cpp game_entry.cpp)
qm_win_sources(dialog_keys.cpp default_browser.cpp dlg_layer.cpp tessel_dlg.cpp)
