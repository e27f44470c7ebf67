// The usage texts of the three tools, as the tools' frame builds them; the
// programs end them with one more line end.
#ifndef TZ_TESTS_TOOL_TEXTS_H
#define TZ_TESTS_TOOL_TEXTS_H

namespace tooltexts {

inline constexpr char kPelmicUsage[] =
    "\npelmic produces edge format V.4.\n"
    "usage: pelmic [options] [edgeV0FileName] [nodeV0FileName] [edgeV4FileName]\n"
    "  options: \n"
    "    -h  show this help message\n"
    "    -v  show version number\n"
    "  edgeV0FileName:  edge format V.0 (input file)\n"
    "  nodeV0FileName:  node format V.0 (input file)\n"
    "  edgeV4FileName:  edge format V.4 (output file)\n"
    "  If \"edgeV0FileName\", \"nodeV0FileName\" and \"edgeV4FileName\"are given in the command line, \n"
    "  the input data are read in from the file.\n"
    "  Otherwise, the input data are read in from STDIN\n"
    "  with giving prompting messages.\n";

inline constexpr char kDorvaskUsage[] =
    "\ndorvask produces edge connection data\n"
    "usage: dorvask [options] [iFile] [oFile]\n"
    "  options: \n"
    "    -h  show this help message\n"
    "    -v  show version number\n"
    "  iFile : edge format data V.1\n"
    "  oFile : edge connection data\n"
    "  If \"iFile\" and \"oFile\" are given in the command line, \n"
    "  the input data are read in from the file.\n"
    "  Otherwise, the input data are read in from STDIN\n"
    "  with giving prompting messages.\n";

inline constexpr char kSarnoltUsage[] =
    "\nsarnolt produces Morvelan Parameter Format data and Morvelan Initial State data\n"
    "usage: sarnolt [options]\n"
    "  options: \n"
    "    -h  show this help message\n"
    "    -v  show version number\n"
    "  iFile  : edge connection V.1, V.2, V.3, V.4 or V.5 data\n"
    "  oFile1 : Morvelan Parameter Format data\n"
    "  oFile2 : Morvelan Initial State data\n"
    "  \"iFile\", \"oFile1\" and \"oFile2\" will be read in from STDIN\n"
    "  with prompting messages.\n";

}  // namespace tooltexts

#endif
