qm_core_sources(version_text.cpp)
qm_win_sources(dlg_update.cpp download_check.cpp exe_swap.cpp http_get_text.cpp
               update_handover.cpp update_signature.cpp
               wide_to_narrow.cpp)
