# lumo_add_resources(TARGET FOLDER FUNCTION [FILES file...]): compiles the layouts (*.lfm) and
# the artwork (Window.Component.Property.bmp, 24-bit) of FOLDER, and the files named after
# FILES, into TARGET. FILES are for pictures made at build time: the outputs of a custom
# command of the same directory, which then runs first. The generated FUNCTION (declared in
# the generated header FUNCTION.h) registers them as resources; the program calls it once at
# start-up, before it creates a form. A malformed or misnamed file stops the build, naming it.
function(lumo_add_resources target folder function)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "FILES")
  get_filename_component(folder ${folder} ABSOLUTE)
  file(GLOB files CONFIGURE_DEPENDS ${folder}/*.lfm ${folder}/*.LFM ${folder}/*.bmp ${folder}/*.BMP)
  list(SORT files)
  list(APPEND files ${arg_FILES})
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
