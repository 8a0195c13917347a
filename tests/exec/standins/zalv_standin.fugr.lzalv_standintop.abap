FUNCTION-POOL zalv_standin.
TYPE-POOLS slis.

* Every call is written to this file in the run's folder, one JSON object
* a line, for the test to read.
CONSTANTS gc_capture TYPE string VALUE 'alv_calls.jsonl'.

* The tables the user may not display, one a line, when the test names any.
CONSTANTS gc_refused TYPE string VALUE 'refused_tables.txt'.

* The layouts saved for every report: the first is the default layout.
TYPES: BEGIN OF ty_layout,
         variant TYPE c LENGTH 12,
         text    TYPE c LENGTH 30,
       END OF ty_layout.
DATA gt_layouts TYPE STANDARD TABLE OF ty_layout WITH DEFAULT KEY.

* The fields' labels, one a line: language|TABLE|FIELD|label.
CONSTANTS gc_labels TYPE string VALUE 'dictionary_labels.txt'.
