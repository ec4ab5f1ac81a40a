# Writes the demo portal's files into OUT: components copied from the fixtures in FIXTURES (the
# COM server packed in a ZIP archive) and the manifest control.xml that lists them with their
# sizes. Run with cmake -P; STAGING is a scratch folder, CLASS_ID the COM server's class.
file(REMOVE_RECURSE "${OUT}" "${STAGING}")
file(MAKE_DIRECTORY "${OUT}" "${STAGING}")

file(COPY_FILE "${FIXTURES}/com_server.dll" "${STAGING}/OrbinaViewer.dll")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}/OrbinaViewer.zip" --format=zip OrbinaViewer.dll
                WORKING_DIRECTORY "${STAGING}" COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE "${FIXTURES}/version_1_2_3_4.dll" "${OUT}/OrbinaCodec.dll")
file(COPY_FILE "${FIXTURES}/recorder.exe" "${OUT}/OrbinaAgent.exe")

file(SIZE "${STAGING}/OrbinaViewer.dll" viewer_size)
file(SIZE "${OUT}/OrbinaCodec.dll" codec_size)
file(SIZE "${OUT}/OrbinaAgent.exe" agent_size)
set(url "http://update.orbina.com/orbina/velsetup/control")
# A macro stands for its folder and one backslash.
set(dest "[PROGRAMS]Orbina Demo")
file(WRITE "${OUT}/control.xml" "<?xml version=\"1.0\" encoding=\"euc-kr\"?>
<UPDATELIST>
  <UPDATEITEM NAME=\"OrbinaViewer\">
    <MODE NAME=\"velsetup\"/>
    <FILE NAME=\"OrbinaViewer.dll\">
      <SOURCE>${url}/OrbinaViewer.zip</SOURCE>
      <DEST>${dest}</DEST>
      <FILESIZE>${viewer_size}</FILESIZE>
      <REGISTER>1</REGISTER>
      <MAINFILE>1</MAINFILE>
      <CLASSID>${CLASS_ID}</CLASSID>
    </FILE>
    <FILE NAME=\"OrbinaCodec.dll\">
      <SOURCE>${url}/OrbinaCodec.dll</SOURCE>
      <DEST>${dest}</DEST>
      <FILESIZE>${codec_size}</FILESIZE>
      <VERSION>1,2,3,4</VERSION>
    </FILE>
  </UPDATEITEM>
  <UPDATEITEM NAME=\"OrbinaAgent\">
    <MODE NAME=\"velsetup\"/>
    <FILE NAME=\"OrbinaAgent.exe\">
      <SOURCE>${url}/OrbinaAgent.exe</SOURCE>
      <DEST>${dest}</DEST>
      <FILESIZE>${agent_size}</FILESIZE>
      <VERSION>2,0,0,0</VERSION>
      <MAINFILE>1</MAINFILE>
      <EXECUTE>2</EXECUTE>
      <PARAM>--first-start</PARAM>
    </FILE>
    <ADDREG TYPE=\"string\">
      <ROOT>HKCU</ROOT>
      <KEY>Software\\Orbina.Com\\Demo</KEY>
      <VALUE_NAME>Agent</VALUE_NAME>
      <VALUE>2.0.0.0</VALUE>
    </ADDREG>
  </UPDATEITEM>
</UPDATELIST>
")
