# The control's type library in plain C++ (no Qt): the module registers it
# and drives Invoke with it; a container includes it to drive the control.
add_library(corvalen_velmora_tlb STATIC Velmora_TLB.cpp)
target_include_directories(corvalen_velmora_tlb PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(corvalen_velmora_tlb PUBLIC corvalen_component)

# The control module a container loads: only the four entry points are
# exported, and -Bsymbolic keeps it bound to its own copies of everything.
add_library(Velmora MODULE VelmoraImpl1.cpp VelmoraModule.cpp)
set_target_properties(Velmora PROPERTIES PREFIX "")
target_link_libraries(Velmora PRIVATE corvalen_emuform corvalen_velmora_tlb corvalen_component)
target_link_options(Velmora PRIVATE -Wl,-Bsymbolic)
# The connection types it loads at run time, beside it.
add_dependencies(Velmora PLTn5250 PLVirtual PLHTTP log32)
