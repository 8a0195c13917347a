* JSON writing for the SALV stand-ins: each call a report makes that the
* tests read is written to alv_calls.jsonl in the run's folder, one JSON
* object a line, as the ALV function stand-ins write theirs. Values are JSON
* strings in ABAP's conversion to text: numbers without blanks, character
* fields without trailing blanks.
CLASS zcl_salv_capture DEFINITION PUBLIC FINAL CREATE PUBLIC.
  PUBLIC SECTION.
    CLASS-METHODS value
      IMPORTING iv_value       TYPE any
      RETURNING VALUE(rv_json) TYPE string.
    " Adds "name":value to the object being written (its "{" written already).
    CLASS-METHODS member
      IMPORTING iv_name  TYPE string
                iv_value TYPE any
      CHANGING  cv_json  TYPE string.
    " Adds "name":<raw JSON>.
    CLASS-METHODS raw_member
      IMPORTING iv_name TYPE string
                iv_raw  TYPE string
      CHANGING  cv_json TYPE string.
    " Adds an item (raw JSON) to the array being written (its "[" written already).
    CLASS-METHODS item
      IMPORTING iv_raw  TYPE string
      CHANGING  cv_json TYPE string.
    CLASS-METHODS emit
      IMPORTING iv_line TYPE string.
  PRIVATE SECTION.
    CONSTANTS gc_capture TYPE string VALUE 'alv_calls.jsonl'.
    CLASS-METHODS separate
      CHANGING cv_json TYPE string.
ENDCLASS.

CLASS zcl_salv_capture IMPLEMENTATION.
  METHOD value.
    DATA lv_text TYPE string.
    DATA lv_kind TYPE c LENGTH 1.
    DESCRIBE FIELD iv_value TYPE lv_kind.
    lv_text = iv_value.
    IF lv_kind = 'P' OR lv_kind = 'I' OR lv_kind = 'F' OR lv_kind = 'b' OR lv_kind = 's' OR lv_kind = '8'.
      CONDENSE lv_text NO-GAPS.
    ENDIF.
    REPLACE ALL OCCURRENCES OF '\' IN lv_text WITH '\\'.
    REPLACE ALL OCCURRENCES OF '"' IN lv_text WITH '\"'.
    CONCATENATE '"' lv_text '"' INTO rv_json RESPECTING BLANKS.
  ENDMETHOD.

  METHOD separate.
    DATA lv_last TYPE i.
    lv_last = strlen( cv_json ) - 1.
    IF cv_json+lv_last(1) <> '{' AND cv_json+lv_last(1) <> '['.
      CONCATENATE cv_json ',' INTO cv_json.
    ENDIF.
  ENDMETHOD.

  METHOD member.
    DATA lv_value TYPE string.
    separate( CHANGING cv_json = cv_json ).
    lv_value = value( iv_value ).
    CONCATENATE cv_json '"' iv_name '":' lv_value INTO cv_json.
  ENDMETHOD.

  METHOD raw_member.
    separate( CHANGING cv_json = cv_json ).
    CONCATENATE cv_json '"' iv_name '":' iv_raw INTO cv_json.
  ENDMETHOD.

  METHOD item.
    separate( CHANGING cv_json = cv_json ).
    CONCATENATE cv_json iv_raw INTO cv_json.
  ENDMETHOD.

  METHOD emit.
    OPEN DATASET gc_capture FOR APPENDING IN TEXT MODE ENCODING UTF-8.
    IF sy-subrc <> 0.
      MESSAGE 'The SALV stand-in cannot write its capture file' TYPE 'X'.
    ENDIF.
    TRANSFER iv_line TO gc_capture.
    CLOSE DATASET gc_capture.
  ENDMETHOD.
ENDCLASS.
