qm_core_sources(notification.cpp)
qm_win_sources(desktop_shortcut.cpp tessel_app.cpp)
