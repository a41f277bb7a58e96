qm_core_sources(progress_text.cpp retry_schedule.cpp version_text.cpp)
qm_win_sources(background_fetch.cpp background_job.cpp dlg_update.cpp download_check.cpp exe_swap.cpp
               http_get_text.cpp splash_picture.cpp
               update_handover.cpp update_signature.cpp
               wide_to_narrow.cpp)
