qm_core_sources(version_text.cpp)
