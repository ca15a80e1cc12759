# Idle-cost baseline: the least a memory tray tool can be, built like Quorvane.exe (no manifest).
add_executable(qbaseline WIN32 ${CMAKE_CURRENT_LIST_DIR}/baseline/baseline.cpp)
target_link_options(qbaseline PRIVATE -municode ${QUORVANE_STATIC_LINK})
target_link_libraries(qbaseline PRIVATE user32 gdi32 shell32)

# Times a program's start to its visible window, for baseline and Quorvane alike.
add_executable(qwaitvisible ${CMAKE_CURRENT_LIST_DIR}/baseline/waitvisible.cpp)
target_link_options(qwaitvisible PRIVATE -municode ${QUORVANE_STATIC_LINK})
target_link_libraries(qwaitvisible PRIVATE user32)
