qm_core_sources(page_failure.cpp retry_backoff.cpp page_panel_layout.cpp)
qm_win_sources(custom_control_site.cpp custom_occ_manager.cpp imp_idispatch.cpp popup_handlers.cpp
               web_browser2.cpp page_panel.cpp)
