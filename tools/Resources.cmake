# lumo_add_resources(TARGET FOLDER FUNCTION): compiles the layouts (*.lfm) and the artwork
# (Window.Component.Property.bmp, 24-bit) of FOLDER into TARGET. The generated FUNCTION (declared
# in the generated header FUNCTION.h) registers them as resources; the program calls it once at
# start-up, before it creates a form. A malformed or misnamed file stops the build, naming it.
function(lumo_add_resources target folder function)
  get_filename_component(folder ${folder} ABSOLUTE)
  file(GLOB files CONFIGURE_DEPENDS ${folder}/*.lfm ${folder}/*.LFM ${folder}/*.bmp ${folder}/*.BMP)
  list(SORT files)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/resources/${function})
  file(MAKE_DIRECTORY ${out})
  add_custom_command(
    OUTPUT ${out}/${function}.cpp ${out}/${function}.h
    COMMAND lumo_rc ${function} ${out}/${function}.cpp ${out}/${function}.h ${files}
    DEPENDS lumo_rc ${files}
    COMMENT "Compiling the layouts and artwork of ${folder}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out}/${function}.cpp)
  target_include_directories(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE framework)
endfunction()
