* Stand-in: the sorts of a SALV table. As on SAP, a column that does not
* exist raises CX_SALV_NOT_FOUND and a column sorted twice CX_SALV_EXISTING.
CLASS cl_salv_sorts DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING io_columns TYPE REF TO cl_salv_columns_table.
    METHODS add_sort
      IMPORTING columnname   TYPE lvc_fname
                position     TYPE i OPTIONAL
                sequence     TYPE i DEFAULT if_salv_c_sort=>sort_up
                subtotal     TYPE abap_bool DEFAULT abap_false
                group        TYPE i DEFAULT if_salv_c_sort=>group_none
                obligatory   TYPE abap_bool DEFAULT abap_false
      RETURNING VALUE(value) TYPE REF TO cl_salv_sort
      RAISING   cx_salv_not_found
                cx_salv_existing
                cx_salv_data_error.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mo_columns TYPE REF TO cl_salv_columns_table.
    DATA mt_sorts TYPE STANDARD TABLE OF REF TO cl_salv_sort WITH DEFAULT KEY.
ENDCLASS.

CLASS cl_salv_sorts IMPLEMENTATION.
  METHOD constructor.
    mo_columns = io_columns.
  ENDMETHOD.

  METHOD add_sort.
    DATA lo_sort TYPE REF TO cl_salv_sort.
    DATA lv_position TYPE i.
    IF mo_columns->component_kind( columnname ) IS INITIAL.
      RAISE EXCEPTION TYPE cx_salv_not_found
        EXPORTING
          text = |Column { columnname } does not exist|.
    ENDIF.
    LOOP AT mt_sorts INTO lo_sort.
      IF lo_sort->get_columnname( ) = columnname.
        RAISE EXCEPTION TYPE cx_salv_existing
          EXPORTING
            text = |Column { columnname } is sorted already|.
      ENDIF.
    ENDLOOP.
    lv_position = position.
    IF lv_position = 0.
      lv_position = lines( mt_sorts ) + 1.
    ENDIF.
    CREATE OBJECT value
      EXPORTING
        iv_column   = columnname
        iv_position = lv_position
        iv_sequence = sequence
        iv_subtotal = subtotal
        iv_group    = group.
    APPEND value TO mt_sorts.
  ENDMETHOD.

  METHOD to_json.
    DATA lo_sort TYPE REF TO cl_salv_sort.
    rv_json = '['.
    LOOP AT mt_sorts INTO lo_sort.
      zcl_salv_capture=>item( EXPORTING iv_raw = lo_sort->to_json( ) CHANGING cv_json = rv_json ).
    ENDLOOP.
    CONCATENATE rv_json ']' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
