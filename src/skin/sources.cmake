qm_core_sources(inflate.cpp png_decode.cpp premultiply.cpp dpi_scale.cpp tile_layout.cpp black_mask.cpp pixel_blend.cpp)
qm_win_sources(png_resource.cpp scale_image.cpp screen_scale.cpp premultiply_image.cpp layered_window.cpp top_level_icon.cpp
               tile_image.cpp mem_dc.cpp mask_bitmap.cpp gt_button.cpp button_faces.cpp)
