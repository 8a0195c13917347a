*&---------------------------------------------------------------------*
*& Report ZEXEC_ALLOPT
*& Every option at once
*&---------------------------------------------------------------------*
*& Author:  TESTER
*& Company: Execution tests
*&---------------------------------------------------------------------*
REPORT zexec_allopt.

TABLES scarr.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carri.
SELECT-OPTIONS s_carrid FOR scarr-carrid.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

SELECTION-SCREEN BEGIN OF BLOCK b2 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(24) sc_max.
PARAMETERS p_max TYPE i DEFAULT 500.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(24) sc_vari.
PARAMETERS p_vari TYPE disvariant-variant.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN END OF BLOCK b2.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.
    CLASS-METHODS default_layout
      RETURNING
        VALUE(rv_layout) TYPE disvariant-variant.
    CLASS-METHODS layout_value_help
      CHANGING
        cv_layout TYPE disvariant-variant.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        carrid   TYPE scarr-carrid,
        carrname TYPE scarr-carrname,
        connid   TYPE sflight-connid,
        price    TYPE sflight-price,
        seatsocc TYPE sflight-seatsocc,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found
        cx_salv_existing
        cx_salv_data_error.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
    METHODS heading
      RETURNING
        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found cx_salv_existing cx_salv_data_error INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SCARR' ).
    check_authority( 'SFLIGHT' ).
    SELECT a~carrid, a~carrname, b~connid, b~price, b~seatsocc
      FROM scarr AS a
      LEFT OUTER JOIN sflight AS b ON a~carrid = b~carrid
      INTO TABLE @mt_output
      UP TO @p_max ROWS
      WHERE a~carrid IN @s_carrid
      ORDER BY a~carrid, b~connid DESCENDING, a~carrname, b~price, b~seatsocc ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRID'
                     iv_text    = 'Airline'(002) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRNAME'
                     iv_text    = 'Airline name'(003) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CONNID'
                     iv_text    = 'Connection'(004) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'PRICE'
                     iv_text    = 'Airfare'(005) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'SEATSOCC'
                     iv_text    = 'Seats taken'(006) ).

    DATA(lo_sorts) = mo_alv->get_sorts( ).
    lo_sorts->add_sort( columnname = 'CARRID'
                        position   = 1
                        sequence   = if_salv_c_sort=>sort_up
                        subtotal   = abap_true ).
    lo_sorts->add_sort( columnname = 'CONNID'
                        position   = 2
                        sequence   = if_salv_c_sort=>sort_down ).

    DATA(lo_aggregations) = mo_alv->get_aggregations( ).
    lo_aggregations->add_aggregation( columnname  = 'PRICE'
                                      aggregation = if_salv_c_aggregation=>total ).
    lo_aggregations->add_aggregation( columnname  = 'SEATSOCC'
                                      aggregation = if_salv_c_aggregation=>total ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).
    lo_layout->set_default( abap_true ).
    lo_layout->set_initial_layout( p_vari ).

    mo_alv->set_top_of_list( heading( ) ).
    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.

  METHOD heading.
    ro_heading = NEW #( ).
    ro_heading->create_header_information( row    = 1
                                           column = 1
                                           text   = 'Every option at once'(007) ).
    ro_heading->create_text( row    = 2
                             column = 1
                             text   = |{ 'Date:'(008) } { sy-datum DATE = USER }| ).
  ENDMETHOD.

  METHOD default_layout.
    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).
    CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'
      EXPORTING
        i_save     = 'A'
      CHANGING
        cs_variant = ls_variant
      EXCEPTIONS
        not_found  = 2.
    IF sy-subrc = 0.
      rv_layout = ls_variant-variant.
    ENDIF.
  ENDMETHOD.

  METHOD layout_value_help.
    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).
    CALL FUNCTION 'REUSE_ALV_VARIANT_F4'
      EXPORTING
        is_variant = ls_variant
        i_save     = 'A'
      IMPORTING
        es_variant = ls_variant
      EXCEPTIONS
        not_found  = 2.
    IF sy-subrc = 0.
      cv_layout = ls_variant-variant.
    ENDIF.
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_carri = 'Airline'(002).
  sc_max = 'Maximum number of hits'(009).
  sc_vari = 'Layout'(010).
  p_vari = lcl_report=>default_layout( ).

AT SELECTION-SCREEN ON p_max.
  IF p_max < 0.
    MESSAGE 'Enter 0 (every row) or a positive number of hits'(011) TYPE 'E'.
  ENDIF.

AT SELECTION-SCREEN ON VALUE-REQUEST FOR p_vari.
  lcl_report=>layout_value_help( CHANGING cv_layout = p_vari ).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
